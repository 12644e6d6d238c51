#include "app/design_session.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>

#include "analysis/frequency_response.h"
#include "app/messages.h"
#include "approx/approximation.h"
#include "circuits/component_adjustment.h"
#include "circuits/standard_substitution.h"
#include "model/file_io.h"
#include "model/inventory_file.h"
#include "stages/cascade.h"
#include "stages/gains.h"
#include "stages/synthesis.h"

namespace velmora::app {

int DesignChanges::Subscribe(Listener listener) {
    listeners_.emplace_back(nextId_, std::move(listener));
    return nextId_++;
}

void DesignChanges::Unsubscribe(int id) {
    std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

void DesignChanges::Changed(std::initializer_list<DesignPart> parts) {
    for (DesignPart part : parts) {
        ++revisions_[static_cast<int>(part)];
        // A copy: a listener may subscribe or unsubscribe while it is told.
        const auto listeners = listeners_;
        for (const auto& [id, listener] : listeners)
            listener(part);
    }
}

void DesignChanges::ChangedFrom(DesignPart first) {
    for (int p = static_cast<int>(first); p < kDesignPartCount; ++p)
        Changed({static_cast<DesignPart>(p)});
}

void HalfPowerGain(TDesign& d) {
    d.Spec.HalfPowerGain = d.Spec.OverallGain / std::sqrt(2.0L);
    d.Spec.HalfPowerGainDb = 20.0L * std::log10(static_cast<long double>(d.Spec.HalfPowerGain));
}

void CompleteUserFilter(TDesign& d) {
    d.Spec.FilterType = UserDefined;
    d.Spec.LastApproxIndex = 0;
    RebuildUserFilter(d);
    ComputeGraphRanges(d);
    HalfPowerGain(d);
    ComputeIdealResponses(d);
    d.ResultsReady = 1;
    d.CurrentApprox = d.SavedApprox = Butterworth;
    d.SelectedApprox = d.SavedSelectedApprox = Butterworth;
    if (!d.Loading) {
        d.DesignLevel = LevelApproximations;
        d.Modified = 1;
    }
}

SpecificationStatus CalculateApproximations(TDesign& d, const Specification& working) {
    MarkStepChanged(d);
    d.ResultsReady = 0;
    d.Spec = working;
    ClearApproximations(d);
    for (int i = 0; i <= d.Spec.LastApproxIndex; ++i)
        if (ComputeApproximation(d, i) == ApproxStatus::BesselRootsUnavailable)
            return SpecificationStatus::BesselRootsUnavailable;
    d.CurrentApprox = d.SavedApprox;
    RateApproximations(d);
    bool anyUsable = false;
    for (int i = 0; i <= d.Spec.LastApproxIndex; ++i)
        anyUsable = anyUsable || isUsable(d.Approx[i]);
    if (!anyUsable) return SpecificationStatus::NoneUsable;
    ComputeGraphRanges(d);
    return SpecificationStatus::Ok;
}

void CompleteSpecification(TDesign& d, long double overallGain, IdealResponseRecord* responses) {
    d.Spec.OverallGain = overallGain;
    HalfPowerGain(d);
    if (responses)
        ComputeIdealResponses(d, DefaultIdealAxes(d), *responses);
    else
        ComputeIdealResponses(d);
    d.ResultsReady = 1;
}

DesignFileResult ReadDesign(const std::string& path, TDesign& fresh) {
    DesignFileResult r = ReadDesignFile(path, fresh);
    // The slot bookkeeping of a user-defined filter is not in the file: it is rebuilt
    // from the stages, and a file whose sections do not make a filter is refused.
    if (r.ok() && fresh.Spec.FilterType == UserDefined && !RestoreUserFilter(fresh)) {
        r.status = DesignFileStatus::BadContent;
        r.problem = DesignFileProblem::UserSectionsInvalid;
    }
    if (r.ok()) r = CheckStoredCircuits(fresh);
    return r;
}

std::vector<std::string> RestoreDesign(TDesign& d, const Inventory* inventory) {
    std::vector<std::string> notes;
    if (d.DesignLevel >= LevelApproximations) {
        // Whether an approximation is usable (its Qp limit) is not stored; the rating
        // gives it back from the stored tables.
        if (d.Spec.FilterType != UserDefined) RateApproximations(d);
        ComputeGraphRanges(d);
        HalfPowerGain(d);
        ComputeIdealResponses(d);
        d.ResultsReady = 1;
    }
    d.StepChanged = 0;
    // The analysis grid and the gains are never stored: the cascade and gain steps work
    // on them, and the coefficient table shows the stage gains.
    if (d.DesignLevel >= LevelPaired) ComputeAnalysisGrid(d);
    // Once circuits are selected the gains are those the circuits can give, and from the
    // component step on the resistors, which the file does not hold, are calculated again
    // from the stored circuits and capacitors.
    if (d.DesignLevel >= LevelCircuitsSelected) {
        // Entered capacitors and standard resistor values follow from the stored ones by
        // the operations that made them, after the gains were given for the calculated
        // capacitors.
        const bool components = d.DesignLevel >= LevelComponents;
        const EnteredCapacitors entered = components ? TakeEnteredCapacitors(d) : EnteredCapacitors{};
        RealiseStageGains(d, components);
        if (components) {
            notes = ValueNoteTexts(RestoreEnteredValues(d, entered, inventory));
            OverallActualGain(d);
        }
    } else if (d.DesignLevel >= LevelCascaded) {
        DistributeGains(d);
        OverallActualGain(d);
    }
    return notes;
}

InventoryLoad LoadInventory(const std::optional<std::string>& given) {
    InventoryLoad load;
    const std::optional<std::string> path = given ? given : InventoryFilePath();
    if (!path) return load;
    const InventoryReadResult r = ReadInventoryFile(*path, load.inventory);
    if (r.status == InventoryReadStatus::Unreadable || r.status == InventoryReadStatus::Damaged ||
        (r.status == InventoryReadStatus::Missing && given)) {
        load.ok = false;
        // The system's message names the file already; a missing file says so.
        const std::string text = InventoryReadText(r);
        load.message =
            text.rfind(*path + ": ", 0) == 0
                ? text
                : *path + ": " + (text.empty() ? FileIoResult::failure("", ENOENT).message.substr(2) : text);
    }
    return load;
}

void DesignSession::SetFrequencyUnit(bool hz) {
    d_.Opt.FreqUnitsHz = hz ? 1 : 0;
    changes_.Changed({DesignPart::Specification});
}

SpecificationEntry DesignSession::StartDesign(uint8_t filterType) {
    NewDesign(d_, filterType);
    comparison_ = ComparisonTable{};
    SpecificationEntry defaults;
    if (filterType != UserDefined) defaults = SetUpNewSpecification(d_);
    changes_.ChangedFrom(DesignPart::Specification);
    return defaults;
}

SpecificationOutcome DesignSession::EnterSpecification(const SpecificationEntry& entry) {
    SpecificationOutcome out;
    const SpecificationRead read = ReadSpecification(d_, entry);
    out.issues = read.issues;
    if (!out.issues.empty()) return out;
    out.status = CalculateApproximations(d_, read.working);
    if (out.status != SpecificationStatus::BesselRootsUnavailable) {
        // Compared even when no order is low enough, so that every approximation shows why.
        comparison_ = BuildComparisonTable(d_);
        if (out.status == SpecificationStatus::Ok) {
            const GainRead gain = ReadOverallGain(entry);
            if (gain.issue) out.issues.push_back(*gain.issue);
            if (gain.gain) {
                CompleteSpecification(d_, *gain.gain);
                // A changed specification restarts the later steps from the approximation choice.
                d_.DesignLevel = LevelApproximations;
                d_.CurrentApprox = d_.SavedApprox = Butterworth;
                d_.SelectedApprox = d_.SavedSelectedApprox = Butterworth;
                out.ready = true;
            }
        }
    }
    changes_.ChangedFrom(DesignPart::Specification);
    return out;
}

void DesignSession::SetCascadeOptions(const std::optional<TCascadeCriteria>& first,
                                      const std::optional<TCascadeCriteria>& last,
                                      std::optional<bool> orderByQp) {
    if (first) d_.Criteria[0] = *first;
    if (last) d_.Criteria[1] = *last;
    if (orderByQp) d_.Opt.OrderByQp = *orderByQp ? 1 : 0;
}

OpenOutcome DesignSession::OpenDesign(const std::string& path, const Inventory* inventory) {
    auto fresh = std::make_unique<TDesign>(d_);
    NewDesign(*fresh, Lowpass);
    fresh->Loading = 1;
    const DesignFileResult r = ReadDesign(path, *fresh);
    if (!r.ok()) return {false, DesignFileMessage(r), {}};
    d_ = std::move(*fresh);
    d_.FileName = path;
    OpenOutcome out;
    out.notes = RestoreDesign(d_, inventory);
    comparison_ = d_.DesignLevel >= LevelApproximations && d_.Spec.FilterType != UserDefined
                      ? BuildComparisonTable(d_)
                      : ComparisonTable{};
    d_.SelectedApprox = d_.SavedSelectedApprox;
    d_.CurrentApprox = d_.SavedApprox;
    d_.StepChanged = 0;
    d_.Loading = 0;
    changes_.ChangedFrom(DesignPart::Specification);
    return out;
}

SpecificationStatus DesignSession::EnterSpecification(const Specification& working, long double overallGain) {
    const SpecificationStatus status = CalculateApproximations(d_, working);
    if (status == SpecificationStatus::Ok) {
        CompleteSpecification(d_, overallGain);
        // A changed specification restarts the later steps from the approximation choice.
        d_.DesignLevel = LevelApproximations;
        d_.CurrentApprox = d_.SavedApprox = Butterworth;
        d_.SelectedApprox = d_.SavedSelectedApprox = Butterworth;
    }
    changes_.ChangedFrom(DesignPart::Specification);
    return status;
}

StepResult DesignSession::EnterUserSections(const std::vector<UserSectionEntry>& sections) {
    StepResult r;
    for (std::size_t i = 0; i < sections.size() && r.ok; ++i) {
        const UserAddStatus st = AddUserSection(d_, sections[i].section, sections[i].block);
        if (st != UserAddStatus::Ok)
            r = {false, "section " + std::to_string(i + 1) + ": " + UserAddMessage(st)};
    }
    if (r.ok) CompleteUserFilter(d_);
    changes_.ChangedFrom(DesignPart::Specification);
    return r;
}

int DesignSession::DefaultApproximation() const {
    return velmora::DefaultApproximation(d_);
}

bool DesignSession::Usable(int index) const {
    return index >= 0 && index <= d_.Spec.LastApproxIndex && isUsable(d_.Approx[index]);
}

StepResult DesignSession::RealiseApproximation(int index) {
    ChooseApproximation(d_, index);
    const SynthesisStatus st = SynthesiseStages(d_);
    changes_.ChangedFrom(DesignPart::Approximations);
    if (st != SynthesisStatus::Ok) return {false, app::SynthesisMessage(st)};
    return {};
}

StepResult DesignSession::DesignCircuits(const std::vector<StageCircuitRequest>& requests) {
    const CircuitsOutcome outcome = DesignStageCircuits(d_, requests);
    changes_.ChangedFrom(DesignPart::Circuits);
    return {outcome.ok, CircuitsMessage(outcome)};
}

ComponentOutcome DesignSession::ApplyComponents(const ComponentRequest& q) {
    ComponentOutcome out;
    if (d_.DesignLevel < LevelComponents) return out;
    if (!ApplyToleranceRequest(d_, q.tolerance)) {
        out.ok = false;
        out.notes.push_back("the tolerance settings were refused");
        return out;
    }
    changes_.ChangedFrom(DesignPart::Components);
    if (q.inventory) {
        d_.Components.UseResInventory = 1;
        d_.Components.UseCapInventory = 1;
    }
    if (q.allCapsStandard) {
        for (const std::string& n : ValueNoteTexts(MakeCapacitorsStandard(d_, q.inventory)))
            out.notes.push_back(n);
        d_.Components.AllCapsStandard = 1;
    }
    if (q.series > 0) {
        d_.Components.ResistorTolerance = static_cast<long double>(q.series);
        d_.Components.SubstitutionStrategy = static_cast<uint8_t>(q.strategy);
        const StandardRResult r = SwitchStandardROn(d_, q.inventory);
        if (!r.ok) {
            out.ok = false;
            out.notes.push_back(NoSeriesMessage());
            changes_.ChangedFrom(DesignPart::Circuits);
            return out;
        }
        if (!r.stagesWithoutExactCapacitors.empty())
            out.notes.push_back(CapacitorsNotExactMessage(r.stagesWithoutExactCapacitors));
        for (const std::string& n : ValueNoteTexts(r.notes))
            out.notes.push_back(n);
    }
    // Standard capacitors and resistors move the stage gains a little: the overall gain
    // reached is that of the values now in the circuits.
    if (q.allCapsStandard || q.series > 0) {
        OverallActualGain(d_);
        changes_.ChangedFrom(DesignPart::Circuits);
    }
    if (q.monteCarloRuns > 0) {
        MonteCarloOptions mc;
        mc.Runs = q.monteCarloRuns;
        mc.Mask = q.mask;
        bool ended = false;
        mc.Continue = [&](int done, int total) {
            ended = q.monteCarloProgress && !q.monteCarloProgress(done, total);
            return !ended;
        };
        out.monteCarlo = RunMonteCarlo(d_, mc);
        out.interrupted = ended;
        changes_.Changed({DesignPart::Analyses});
    }
    return out;
}

DesignFileResult DesignSession::Encode(std::vector<uint8_t>& bytes) const {
    return EncodeDesign(d_, bytes);
}

SpiceNetlist DesignSession::ExportSpice(const SpiceOptions& options) const {
    return BuildSpiceNetlist(d_, options);
}

FrequencyAxis DesignSession::ResponseAxis(const FrequencyLimits& limits) const {
    return DataFrequencyAxis(d_, limits);
}

SpiceOptions DesignSession::SpiceOptionsFor(const FrequencyLimits& limits) const {
    return SpiceOptionsForGraph(UsableFrequencyAxis(DataFrequencyAxis(d_, limits)));
}

} // namespace velmora::app
