// The flag string and the records of the design file, each written and read field by
// field in its stored order.
#include <algorithm>
#include <utility>

#include "model/design_file_records.h"

namespace velmora::design_file_detail {

std::string MakeFlagString(const TDesign& d) {
    std::string s(kFlagCapacity, '0');
    for (const FlagPosition& p : kFlagPositions) {
        const uint8_t* flag = FlagField(d, p.field);
        if (flag && *flag) s[p.position - 1] = '1';
    }
    if (d.Components.SubstitutionStrategy == 2) s[kStrategy2Position - 1] = '1';
    return s;
}

bool FlagSet(std::string_view flags, int position) {
    return static_cast<std::size_t>(position) <= flags.size() && flags[position - 1] == '1';
}

void ApplyFlagString(TDesign& d, std::string_view flags) {
    for (const FlagPosition& p : kFlagPositions) {
        uint8_t* flag = FlagField(d, p.field);
        if (!flag) continue;
        switch (p.onRead) {
        case FlagOnRead::Apply:
            *flag = FlagSet(flags, p.position) ? 1 : 0;
            break;
        case FlagOnRead::Clear:
            *flag = 0;
            break;
        case FlagOnRead::Ignore:
            break;
        }
    }
    d.Components.SubstitutionStrategy = FlagSet(flags, kStrategy2Position) ? 2 : 1;
}

// ---- Records ----------------------------------------------------------------------------

void Put(ByteWriter& w, const PoleListEntry& e) {
    for (const Real48& x : {e.ReNorm, e.ImNorm, e.Re, e.Im, e.Reserved1, e.Reserved2})
        w.real(x);
}
void Get(ByteReader& r, PoleListEntry& e) {
    for (Real48* x : {&e.ReNorm, &e.ImNorm, &e.Re, &e.Im, &e.Reserved1, &e.Reserved2})
        *x = r.real();
}

void Put(ByteWriter& w, const ZeroListEntry& e) {
    w.real(e.WzNorm);
    w.real(e.Wz);
}
void Get(ByteReader& r, ZeroListEntry& e) {
    e.WzNorm = r.real();
    e.Wz = r.real();
}

void Put(ByteWriter& w, const PoleTableEntry& e) {
    for (const Real48& x : {e.BNorm, e.CNorm, e.B, e.C, e.Wp, e.Qp})
        w.real(x);
}
void Get(ByteReader& r, PoleTableEntry& e) {
    for (Real48* x : {&e.BNorm, &e.CNorm, &e.B, &e.C, &e.Wp, &e.Qp})
        *x = r.real();
}

void Put(ByteWriter& w, const ZeroTableEntry& e) {
    w.real(e.Wz2Norm);
    w.real(e.Wz2);
}
void Get(ByteReader& r, ZeroTableEntry& e) {
    e.Wz2Norm = r.real();
    e.Wz2 = r.real();
}

void Put(ByteWriter& w, const ApproxResult& a) {
    w.i16(a.Order);
    w.u8(a.Reserved20);
    w.u8(a.Reserved0);
    w.u8(a.OrderTooHigh);
    w.i16(a.PolePairs);
    w.i16(a.ProtoZeroPairs);
    w.i16(a.SingleZeros);
    w.i16(a.ZeroPairs);
    w.u8(a.HasRealPole);
    w.real(a.RealPoleNorm);
    w.real(a.RealPole);
    w.u8(a.HasRealPole2);
    w.real(a.RealPole2);
    w.u8(a.HasSingleZero);
    w.real(a.SingleZero);
    w.shortString(a.GainConstantText, kLongTextCapacity);
    w.real(a.GainConstant);
    w.real(a.GainConstantNorm);
    w.real(a.MaxQp);
}
void Get(ByteReader& r, ApproxResult& a) {
    a.Order = r.i16();
    a.Reserved20 = r.u8();
    a.Reserved0 = r.u8();
    a.OrderTooHigh = r.u8();
    a.PolePairs = r.i16();
    a.ProtoZeroPairs = r.i16();
    a.SingleZeros = r.i16();
    a.ZeroPairs = r.i16();
    a.HasRealPole = r.u8();
    a.RealPoleNorm = r.real();
    a.RealPole = r.real();
    a.HasRealPole2 = r.u8();
    a.RealPole2 = r.real();
    a.HasSingleZero = r.u8();
    a.SingleZero = r.real();
    a.GainConstantText = r.shortString(kLongTextCapacity);
    a.GainConstant = r.real();
    a.GainConstantNorm = r.real();
    a.MaxQp = r.real();
}

void Put(ByteWriter& w, const TPoleEntry& e) {
    w.u8(e.Free);
    w.u8(e.Kind);
    for (const Real48& x : {e.Q, e.Wp, e.Sigma, e.Imag})
        w.real(x);
    w.bytes(e.Reserved);
}
void Get(ByteReader& r, TPoleEntry& e) {
    e.Free = r.u8();
    e.Kind = r.u8();
    for (Real48* x : {&e.Q, &e.Wp, &e.Sigma, &e.Imag})
        *x = r.real();
    for (uint8_t& b : e.Reserved)
        b = r.u8();
}

void Put(ByteWriter& w, const TZeroEntry& e) {
    w.u8(e.Free);
    w.u8(e.Kind);
    w.real(e.Re);
    w.real(e.Wz);
}
void Get(ByteReader& r, TZeroEntry& e) {
    e.Free = r.u8();
    e.Kind = r.u8();
    e.Re = r.real();
    e.Wz = r.real();
}

void Put(ByteWriter& w, const TStageCoeffs& s) {
    w.u8(s.StageType);
    w.shortString(s.Name, kLongTextCapacity);
    for (int16_t i : {s.Pole1, s.Pole2, s.Zero1, s.Zero2})
        w.i16(i);
    for (const Real48& x : {s.Wp, s.Qp, s.Wz, s.Sigma, s.Flatness, s.K, s.To})
        w.real(x);
}
void Get(ByteReader& r, TStageCoeffs& s) {
    s.StageType = r.u8();
    s.Name = r.shortString(kLongTextCapacity);
    for (int16_t* i : {&s.Pole1, &s.Pole2, &s.Zero1, &s.Zero2})
        *i = r.i16();
    for (Real48* x : {&s.Wp, &s.Qp, &s.Wz, &s.Sigma, &s.Flatness, &s.K, &s.To})
        *x = r.real();
}

void Put(ByteWriter& w, const TUserBlock& u) {
    w.u8(u.EntryMode);
    for (const std::string& t : u.Texts)
        w.shortString(t, kUserTextCapacity);
}
void Get(ByteReader& r, TUserBlock& u) {
    u.EntryMode = r.u8();
    for (std::string& t : u.Texts)
        t = r.shortString(kUserTextCapacity);
}

void Put(ByteWriter& w, const TCascadeCriteria& c) {
    for (int k = 1; k <= 4; ++k) {
        w.u8(c.Options[k].Enabled);
        w.i16(c.Options[k].Priority);
    }
}
void Get(ByteReader& r, TCascadeCriteria& c) {
    for (int k = 1; k <= 4; ++k) {
        c.Options[k].Enabled = r.u8();
        c.Options[k].Priority = r.i16();
    }
}

// The circuit record is stored in two parts. Its seven free parameters and six option
// bytes are spread over them: parameters 0..2 in the header, 3..4 and 5..6 in the
// options record around option bytes 0..4, the compensation flag and the noise; option
// byte 5 sits alone after them.
//
// Byte 18 of the options record, after the compensation flag, holds whether the user
// entered the stage's capacitors (1) or they are as calculated (0). Earlier versions
// wrote it as zero, which reads as "as calculated", the state those files were saved in
// (they kept no entered capacitors). The entered values themselves are the capacitor
// set's values, their reference values its alternative values; the offsets and standard
// marks follow from those and are derived again after reading.
//
// Bytes 38, 39 and 40, after the last option byte, hold the stage's design options that
// the recalculation after reading needs to give the same components: " C2 variable",
// " C1=C2 : R1=R2" and predistortion (1 set, 0 clear). Earlier versions wrote them as
// zero; their designs reopen with the options cleared, as they always did.
void PutCircuitHeader(ByteWriter& w, const TStageCircuit& c) {
    w.u8(c.Initialise);
    w.i16(c.CircuitNumber);
    w.i16(c.CircuitChoice);
    w.i16(c.PrevChoice);
    for (int k = 0; k < 3; ++k)
        w.real(c.Parameters[k]);
    w.real(c.OpAmpGBW);
    w.real(c.GbwTolerance);
    w.real(c.GbwTempCo);
}
void GetCircuitHeader(ByteReader& r, TStageCircuit& c) {
    c.Initialise = r.u8();
    c.CircuitNumber = r.i16();
    c.CircuitChoice = r.i16();
    c.PrevChoice = r.i16();
    for (int k = 0; k < 3; ++k)
        c.Parameters[k] = r.real();
    c.OpAmpGBW = r.real();
    c.GbwTolerance = r.real();
    c.GbwTempCo = r.real();
}

void PutCircuitOptions(ByteWriter& w, const TStageCircuit& c) {
    w.real(c.Parameters[3]);
    w.real(c.Parameters[4]);
    for (int k = 0; k < 5; ++k)
        w.u8(c.Options[k]);
    w.u8(c.CompensationInUse);
    w.u8(c.CapsExact ? 1 : 0);
    w.real(c.OpAmpNoise);
    w.real(c.Parameters[5]);
    w.real(c.Parameters[6]);
    w.u8(c.Options[5]);
    w.u8(c.UseC2Variable ? 1 : 0);
    w.u8(c.UseC1EqC2 ? 1 : 0);
    w.u8(c.Predistort ? 1 : 0);
    w.zeros(kCircuitOptionsUnused);
}
void GetCircuitOptions(ByteReader& r, TStageCircuit& c) {
    c.Parameters[3] = r.real();
    c.Parameters[4] = r.real();
    for (int k = 0; k < 5; ++k)
        c.Options[k] = r.u8();
    c.CompensationInUse = r.u8();
    c.CapsExact = r.u8() == 1 ? 1 : 0;
    c.OpAmpNoise = r.real();
    c.Parameters[5] = r.real();
    c.Parameters[6] = r.real();
    c.Options[5] = r.u8();
    c.UseC2Variable = r.u8() == 1 ? 1 : 0;
    c.UseC1EqC2 = r.u8() == 1 ? 1 : 0;
    c.Predistort = r.u8() == 1 ? 1 : 0;
    r.skip(kCircuitOptionsUnused);
}

// Version 1 had no options record: its stages start with the options of a new stage.
void ClearCircuitOptions(TStageCircuit& c, const Real48& noise) {
    for (int k = 3; k < 7; ++k)
        c.Parameters[k] = 0.0L;
    c.Options.fill(0);
    c.CompensationInUse = 0;
    c.CapsExact = 0;
    c.UseC2Variable = c.UseC1EqC2 = c.Predistort = 0;
    c.OpAmpNoise = noise;
}

// The capacitor values stored with a stage are those of its circuit's capacitor slots.
void PutCapacitorSet(ByteWriter& w, const TCapacitorSet& set, const TStageCircuit& c) {
    w.bytes(set.Selection);
    for (int k = 1; k <= kCapacitorSlots; ++k)
        w.real(c.Components[CapacitorSlot(k)].Value);
    for (int k = 1; k <= kCapacitorSlots; ++k)
        w.real(c.Components[CapacitorSlot(k)].Alternative);
}
void GetCapacitorSet(ByteReader& r, TCapacitorSet& set) {
    for (uint8_t& b : set.Selection)
        b = r.u8();
    for (int k = 1; k <= kCapacitorSlots; ++k)
        set.Value[k] = r.real();
    for (int k = 1; k <= kCapacitorSlots; ++k)
        set.Alternative[k] = r.real();
}

// Version 1: one 42-byte entry per circuit of the stage's type, laid out as the first
// 18 bytes and the four capacitor values of a capacitor set.
void GetV1CapacitorEntry(std::span<const uint8_t> entry, TCapacitorSet& set) {
    ByteReader r(entry);
    for (uint8_t& b : set.Selection)
        b = r.u8();
    for (int k = 1; k <= kCapacitorSlots; ++k)
        set.Value[k] = set.Alternative[k] = r.real();
}

void PutAdjustedGroup(ByteWriter& w, const TStageCircuit& c) {
    for (int k = 1; k <= kResistorSlots; ++k)
        w.real(c.Components[k].Adjusted);
    w.zeros(6);
    for (int k = 1; k <= kResistorSlots; ++k)
        w.u8(c.Components[k].AdjustedMark);
    w.zeros(1);
}
void GetAdjustedGroup(ByteReader& r, TStageCircuit& c) {
    for (int k = 1; k <= kResistorSlots; ++k)
        c.Components[k].Adjusted = r.real();
    r.skip(6);
    for (int k = 1; k <= kResistorSlots; ++k)
        c.Components[k].AdjustedMark = r.u8();
    r.skip(1);
}

Layout LayoutOfTag(std::string_view tag) {
    if (tag == kTag || tag.size() < 5) return Layout::Current;
    const std::string_view version = tag.substr(3, 2);
    if (version == "10") return Layout::Version1;
    if (version == "20") return Layout::Version2;
    return Layout::Current;
}

// ---- Failures ---------------------------------------------------------------------------

DesignFileResult Failure(DesignFileStatus status, DesignFileProblem problem) {
    DesignFileResult r;
    r.status = status;
    r.problem = problem;
    return r;
}

DesignFileResult BadContent(DesignFileProblem problem, int stage) {
    DesignFileResult r = Failure(DesignFileStatus::BadContent, problem);
    r.stage = stage;
    return r;
}

DesignFileResult TooMany(std::string what, int value, int room) {
    DesignFileResult r = BadContent(DesignFileProblem::TooMany);
    r.field = std::move(what);
    r.value = value;
    r.limit = room;
    return r;
}

DesignFileResult OutOfRange(std::string what, int value, int low, int high, int stage, int approximation) {
    DesignFileResult r = BadContent(DesignFileProblem::OutOfRange, stage);
    r.field = std::move(what);
    r.approximation = approximation;
    r.value = value;
    r.low = low;
    r.limit = high;
    return r;
}

bool Within(int v, int low, int high) {
    return v >= low && v <= high;
}

} // namespace velmora::design_file_detail
