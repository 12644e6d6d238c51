// The design steps as use-cases, the same for every front end: each takes the design
// from one consistent state to the next, re-runs the steps that depend on what it
// changed, and says which parts of the design changed so that a view redraws only those.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/graph_axes.h"
#include "analysis/ideal_responses.h"
#include "analysis/monte_carlo.h"
#include "analysis/tolerance.h"
#include "app/entry_form.h"
#include "approx/approximation.h"
#include "circuits/inventory_lookup.h"
#include "circuits/selection.h"
#include "model/design.h"
#include "model/design_file.h"
#include "output/spice_netlist.h"
#include "stages/user_sections.h"

namespace velmora::app {

// The parts of a design a view shows, each with its own revision.
enum class DesignPart : int {
    Specification,  // the specification and the frequency unit
    Approximations, // the approximations, their comparison and the ideal responses
    Stages,         // pairing, cascade and gain distribution
    Circuits,       // the circuits chosen and their components
    Components,     // component characteristics, standard values, inventories
    Analyses,       // final responses, tolerance and Monte Carlo results
};
inline constexpr int kDesignPartCount = 6;

// Change notification: a revision counter per part and a plain list of listeners. A
// view keeps the revisions it drew and redraws a part whose revision moved.
class DesignChanges {
  public:
    using Listener = std::function<void(DesignPart)>;
    std::uint64_t Revision(DesignPart part) const { return revisions_[static_cast<int>(part)]; }
    // Returns the listener's number, for Unsubscribe.
    int Subscribe(Listener listener);
    void Unsubscribe(int id);
    // Bumps the revision of each part and tells every listener, part by part.
    void Changed(std::initializer_list<DesignPart> parts);
    // A part and every part computed from it (a part's dependants follow it in DesignPart).
    void ChangedFrom(DesignPart first);

  private:
    std::uint64_t revisions_[kDesignPartCount] = {};
    std::vector<std::pair<int, Listener>> listeners_;
    int nextId_ = 1;
};

// The reference level of the response graphs: the overall gain over sqrt(2), in V/V and dB.
void HalfPowerGain(TDesign& d);

enum class SpecificationStatus { Ok, BesselRootsUnavailable, NoneUsable };
// A user-defined filter whose sections are all entered: its single "approximation", graph
// ranges and ideal responses, the design then at the approximations level.
void CompleteUserFilter(TDesign& d);

// A specification read and checked (working values in rad/s): the approximations, their
// ratings and, when one is usable, the graph ranges. Leaves the design's results not
// ready; CompleteSpecification finishes the step once the gain is known.
SpecificationStatus CalculateApproximations(TDesign& d, const Specification& working);
// The overall gain (V/V) and the ideal responses over the default axes (into `responses`
// when given, so a graph window need not compute them again).
void CompleteSpecification(TDesign& d, long double overallGain, IdealResponseRecord* responses = nullptr);

// A design file read into `fresh` (a new design that keeps the program's options and
// component characteristics): refused, with the reason, when its content does not make a
// design (user-defined sections that form no filter, stored circuits that contradict it).
DesignFileResult ReadDesign(const std::string& path, TDesign& fresh);
// What a design file does not hold, computed again from what it holds: the ratings, graph
// ranges and ideal responses, the analysis grid and the gains, the resistors of the
// component step and the values entered or made standard. Returns the notes for the person.
std::vector<std::string> RestoreDesign(TDesign& d, const Inventory* inventory);

// The component inventory to draw standard values from: the file given or, without one,
// the user's, where a missing file means everything is in stock. A file that cannot be
// read, or a given one that is missing, is refused with the reason.
struct InventoryLoad {
    bool ok = true;
    std::string message;
    Inventory inventory = FullInventory();
};
InventoryLoad LoadInventory(const std::optional<std::string>& path);

// A step that either succeeds or says why not (the message for the person).
struct StepResult {
    bool ok = true;
    std::string message;
};

// What is asked of the components once they are calculated.
struct ComponentRequest {
    ToleranceRequest tolerance;
    bool allCapsStandard = false;
    int series = 0;                       // standard resistors of this series in percent (1, 5, 10); 0: none
    int strategy = 1;                     // the substitution strategy
    const Inventory* inventory = nullptr; // the inventory to draw standard values from; null: none
    int monteCarloRuns = 0;               // 0: no Monte Carlo analysis
    const Specification* mask = nullptr;  // the mask the yield is judged against; null: the design's
    // Called before every Monte Carlo run with the runs done and asked for; false ends it.
    std::function<bool(int done, int total)> monteCarloProgress;
};
// The specification entered: the problems with the entries (nothing is calculated when an
// entry is refused), else the approximations' status and, when one is usable and the gain
// reads, the design ready at the approximations level.
struct SpecificationOutcome {
    std::vector<EntryIssue> issues;
    SpecificationStatus status = SpecificationStatus::Ok;
    bool ready = false;
};

// A design file opened: refused with the reason, or read with the notes of its restoring.
struct OpenOutcome {
    bool ok = true;
    std::string message;
    std::vector<std::string> notes;
};

struct ComponentOutcome {
    bool ok = true;           // false: a request was refused (the notes say why)
    bool interrupted = false; // the Monte Carlo analysis was ended before its last run
    std::vector<std::string> notes;
    std::optional<MonteCarloResult> monteCarlo;
};

// A user-defined filter's section, with the texts its entry form shows.
struct UserSectionEntry {
    UserSection section;
    TUserBlock block;
};

class DesignSession {
  public:
    explicit DesignSession(TDesign& design) : d_(design) {}

    TDesign& Design() { return d_; }
    const TDesign& Design() const { return d_; }
    DesignChanges& Changes() { return changes_; }

    // Frequencies shown and entered in Hz, or in rad/s.
    void SetFrequencyUnit(bool hz);
    // A new, empty design of a filter type; returns the default entries of its specification.
    SpecificationEntry StartDesign(uint8_t filterType);
    // The entries read and checked, the approximations calculated and the gain read.
    SpecificationOutcome EnterSpecification(const SpecificationEntry& entry);
    // The criteria of the cascade's first and last stage, and ordering by pole Q (else by
    // pole frequency), for the stages realised next.
    void SetCascadeOptions(const std::optional<TCascadeCriteria>& first,
                           const std::optional<TCascadeCriteria>& last, std::optional<bool> orderByQp);
    // The approximations compared (empty before they are calculated).
    const ComparisonTable& Comparison() const { return comparison_; }
    // Opens a design file and continues from its stored level; the current design is
    // replaced only when the whole file is accepted.
    OpenOutcome OpenDesign(const std::string& path, const Inventory* inventory);
    // The specification entered (working values in rad/s, the overall gain in V/V): the
    // approximations and their ideal responses, the design then at the approximations
    // level with the earlier choices of the later steps forgotten.
    SpecificationStatus EnterSpecification(const Specification& working, long double overallGain);
    // The sections of a user-defined filter, in cascade order; stops at the first refused
    // (its number and the reason in the message).
    StepResult EnterUserSections(const std::vector<UserSectionEntry>& sections);

    // The usable approximation of lowest order (ties to the lower largest Qp); -1: none.
    int DefaultApproximation() const;
    bool Usable(int index) const;
    // Chooses an approximation and realises it as stages: pairing, cascade, gains.
    StepResult RealiseApproximation(int index);
    // A circuit for every stage (asked for or automatic) and its components.
    StepResult DesignCircuits(const std::vector<StageCircuitRequest>& requests);
    // Component characteristics, standard values from the series (and the inventory),
    // the overall gain the values reach, then the Monte Carlo analysis when asked for.
    ComponentOutcome ApplyComponents(const ComponentRequest& request);

    // The design file's bytes and the SPICE netlist of the realised filter.
    DesignFileResult Encode(std::vector<uint8_t>& bytes) const;
    SpiceNetlist ExportSpice(const SpiceOptions& options) const;
    // The axis of the response data, plots and SPICE sweep within the limits asked for
    // (an empty axis when a single limit crosses the design's other limit), and the
    // design's own axis without limits.
    FrequencyAxis ResponseAxis(const FrequencyLimits& limits = {}) const;
    // The SPICE analysis over that axis, before the netlist's own options are set.
    SpiceOptions SpiceOptionsFor(const FrequencyLimits& limits) const;

  private:
    TDesign& d_;
    DesignChanges changes_;
    ComparisonTable comparison_;
};

} // namespace velmora::app
