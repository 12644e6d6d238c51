#include "model/design_file.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

#include "model/byte_io.h"
#include "model/design_file_records.h"
#include "model/file_io.h"
#include "model/number_text.h"

namespace velmora {
namespace {

using namespace design_file_detail;

// The longest texts a design may hold are those its file has room for. The refusal names
// the first text that does not fit.
std::optional<DesignFileResult> OverlongText(const TDesign& d) {
    const auto overlong = [](const char* field, int stage, int approximation) {
        DesignFileResult r = Failure(DesignFileStatus::BadContent, DesignFileProblem::SaveTextTooLong);
        r.field = field;
        r.stage = stage;
        r.approximation = approximation;
        return r;
    };
    for (int a = 0; a < kApproxCount; ++a)
        if (d.Approx[a].Result.GainConstantText.size() > kLongTextCapacity)
            return overlong("gain constant text", 0, a);
    for (int i = 1; i <= d.StageCount; ++i) {
        if (d.Stages[i].Name.size() > kLongTextCapacity) return overlong("name", i, -1);
        for (const std::string& t : d.UserBlocks[i].Texts)
            if (t.size() > kUserTextCapacity) return overlong("entry text", i, -1);
    }
    return std::nullopt;
}

} // namespace

// ---- Writing ---------------------------------------------------------------------------------

DesignFileResult EncodeDesign(const TDesign& d, std::vector<uint8_t>& image) {
    if (!Within(d.StageCount, 0, kMaxStages)) {
        DesignFileResult r = Failure(DesignFileStatus::BadContent, DesignFileProblem::SaveTooManyStages);
        r.value = d.StageCount;
        return r;
    }
    if (auto overlong = OverlongText(d)) return *overlong;

    ByteWriter w;
    w.bytes(kMagic);
    w.shortString(kTag, kTagCapacity);
    w.shortString(MakeFlagString(d), kFlagCapacity);
    for (const Real48* x : HeaderReals(d))
        w.real(*x);
    w.zeros(6);
    for (const int16_t* x : HeaderInts(d))
        w.i16(*x);
    w.zeros(2);

    w.u8(d.DesignLevel);
    w.u8(d.Spec.FilterType);
    w.u8(d.SavedSelectedApprox);

    for (const Approximation& a : d.Approx)
        for (int k = 0; k < kFilePoleListEntries; ++k)
            Put(w, a.PoleList[k]);
    for (const Approximation& a : d.Approx)
        for (int k = 1; k <= kTableEntries; ++k)
            Put(w, a.ZeroList[k]);
    for (const Approximation& a : d.Approx)
        for (int k = 1; k <= kTableEntries; ++k)
            Put(w, a.PoleTable[k]);
    for (const Approximation& a : d.Approx)
        for (int k = 1; k <= kTableEntries; ++k)
            Put(w, a.ZeroTable[k]);
    for (const Approximation& a : d.Approx)
        Put(w, a.Result);
    for (int k = 1; k <= kMaxPoleEntries; ++k)
        Put(w, d.Poles[k]);
    for (int k = 1; k <= kMaxZeroEntries; ++k)
        Put(w, d.Zeros[k]);

    for (int i = 1; i <= d.StageCount; ++i) {
        PutCircuitHeader(w, d.Circuits[i]);
        PutCircuitOptions(w, d.Circuits[i]);
        Put(w, d.Stages[i]);
        PutCapacitorSet(w, d.CapSets[i], d.Circuits[i]);
        Put(w, d.UserBlocks[i]);
    }
    Put(w, d.Criteria[0]);
    Put(w, d.Criteria[1]);

    if (d.Opt.ResistorAdjustmentDone) {
        for (int i = 1; i <= kMaxStages; ++i) {
            if (i <= d.StageCount)
                PutAdjustedGroup(w, d.Circuits[i]);
            else
                w.zeros(kAdjustedGroupSize);
        }
    }

    if (!w.ok()) return Failure(DesignFileStatus::BadContent, DesignFileProblem::SaveTextTooLong);
    image = w.data();
    return {};
}

DesignFileResult WriteDesignFile(const TDesign& d, const std::string& path) {
    std::vector<uint8_t> image;
    DesignFileResult encoded = EncodeDesign(d, image);
    if (!encoded.ok()) return encoded;
    FileIoResult written = WriteFileReplacing(path, image);
    if (!written.ok) {
        DesignFileResult r = Failure(DesignFileStatus::IoError, DesignFileProblem::SystemError);
        r.systemMessage = written.message;
        return r;
    }
    return {};
}

} // namespace velmora
