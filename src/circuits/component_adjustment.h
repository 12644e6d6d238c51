// Component adjustment: capacitors set to values of the user's choice with the resistors
// recomputed so the stage keeps its targets, the capacitor and gain-pair steps, the
// user's own resistor values and the "all capacitors standard" rule.
//
// The recalculation solves the circuit's realised transfer function for the resistors
// with the capacitors given. Each circuit names the resistors that are solved for, one
// per target: the pole frequency (wc of a first-order stage), the pole Q, the gain where
// the resistors set it, the zero frequency of a notch. The equations
//     ln P_i(R) = ln P_i(R_before),   P = (wp, Qp[, gain][, wz])
// are solved by Newton's method in the logarithms of the resistors (a resistor can never
// turn negative on the way), starting from the values before the change. The Jacobian
// holds the relative sensitivities (dP/P)/(dR/R), exact from the dual-number evaluation
// of the realised function; each Newton step solves J dx = -F by an LU decomposition
// (Crout's method with implicit row scaling and partial pivoting) and forward and back
// substitution. A capacitor change of a few percent is met in a handful of steps, to the
// precision of long double.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "circuits/circuit_design.h"
#include "circuits/inventory_lookup.h"
#include "model/design.h"
#include "model/inventory_file.h"

namespace velmora {

// ---- LU decomposition ----------------------------------------------------------------
using Matrix = std::vector<std::vector<long double>>;
struct LuFactors {
    Matrix lu;              // L below the diagonal (unit diagonal implied), U on and above
    std::vector<int> order; // row interchanges: row k was swapped with order[k]
};
// Crout's decomposition of a square matrix with implicit row scaling (each row is judged
// by its largest element) and partial pivoting. Nothing when the matrix is singular: a
// row whose largest absolute element is 0, or a pivot that comes out 0.
std::optional<LuFactors> LuDecompose(Matrix a);
// Solves A x = b with the factors of A: forward, then back substitution.
std::vector<long double> LuSolve(const LuFactors& f, std::vector<long double> b);

// ---- The recalculation -----------------------------------------------------------------
// The resistors a circuit's recalculation solves for, and whether the gain and the zero
// frequency are among its targets. Nothing for the circuits whose design ties the
// capacitors to each other (the twin-T and Fliege notches: their notch depends on
// capacitor ratios no resistor can restore).
struct AdjustmentPlan {
    std::vector<int> resistors;
    bool gain = false; // the gain is kept (else it moves with the capacitors)
    bool wz = false;   // the zero frequency is kept
};
std::optional<AdjustmentPlan> CapacitorAdjustmentPlan(std::string_view key);
bool CapacitorsAdjustable(const TDesign& d, int stage);

struct RecalcResult {
    RecalcStatus status = RecalcStatus::Failed;
    // The relative change of the stage's actual gain, (after - before) / before; 0 when
    // the gain did not move (within 1e-9, the resolution of the solution).
    long double gainChange = 0;
    bool ok() const { return status == RecalcStatus::Ok; }
};

// The resistors of `values` solved for its capacitors so that the stage's parameters are
// those `before` realises. On failure nothing is returned and `status` says why.
std::optional<ComponentValues<long double>> SolveResistors(const CircuitRoutines& routines, int stageType,
                                                           const AdjustmentPlan& plan,
                                                           const ComponentValues<long double>& before,
                                                           ComponentValues<long double> values,
                                                           RecalcStatus& status);

// The relative change from `before` to `after`; 0 when the gain did not move or either
// gain is not a usable number.
long double GainChange(long double before, long double after);

// Sets capacitors of a stage (slots 1..4, 0 = unchanged) and recalculates its resistors.
// On success each changed capacitor's offset from its reference value and its standard
// mark are stored, the stage's capacitors count as entered exactly, the stage's capacitor
// set takes the values, the sensitivities and the actual gain are updated. On failure the
// stage keeps its previous values.
RecalcResult SetCapacitors(TDesign& d, int stage, const std::array<long double, kCapacitorSlots + 1>& farads);
RecalcResult SetCapacitor(TDesign& d, int stage, int n, long double farads);

// The "Adjust Values" step: every capacitor, or C2 alone, one 12-value step up or down
// (direction +1 / -1).
enum class CapacitorGroup { All, C2Only };
RecalcResult StepCapacitors(TDesign& d, int stage, CapacitorGroup group, int direction);
// The gain pair R(n-1)/R(n): R(n) one 24-value step up or down with R(n-1) kept, then the
// other resistors recalculated for the stage's pole frequency and Q (the gain moves).
RecalcResult StepGainPair(TDesign& d, int stage, int direction);
// "Reset": the stage's reference capacitors and the values calculated for them; the user's
// capacitor entries of the stage are forgotten.
void ResetStage(TDesign& d, int stage);
// The stage's capacitor set back to its reference capacitors and the entries forgotten,
// without calculating the stage (the caller recalculates).
void ForgetEnteredCapacitors(TDesign& d, int stage);

// The components the stage's design gives for its reference capacitors (the stage as it
// was before any capacitor entry).
ComponentValues<long double> ReferenceComponentValues(const TDesign& d, int stage);

// ---- Resistor entry ---------------------------------------------------------------------
// A resistance typed as a number with an optional last letter G, M or K (upper or lower
// case): "4.7K" is 4700. Nothing when the text is no such number.
std::optional<long double> ParseResistance(std::string_view text);
inline constexpr long double kLowestResistance = 0.01L; // ohms
// The resistor's user-assigned value and its standard mark (series of the design's
// tolerance).
void AssignResistor(TDesign& d, int stage, int n, long double ohms);

// ---- All capacitors standard ------------------------------------------------------------
// Every capacitor that is no 12-value series value (or, with the capacitor inventory, not
// in stock) takes the nearest one (in stock), and the resistors are recalculated. When the
// circuit cannot be built with the nearest values, the other series neighbours (in stock)
// are tried, as few of them as possible. Stages whose circuits do not allow it, or for
// which no combination works, keep their values; the returned notes name them with the
// failure of the nearest values. With the inventory, a capacitor that has no stand-in in
// stock (see InventoryValue) keeps its value with a note, and an inventory with no
// capacitor in stock changes nothing and says so in one note.
std::vector<ValueNote> MakeCapacitorsStandard(TDesign& d, const Inventory* capacitorInventory);

// ---- After reading a design file ----------------------------------------------------------
// A design file holds the capacitors (entered and reference values), whether the user
// entered them, the standard-values flag and strategy, and the user-assigned resistors,
// but no resistor values. What the file does not hold is given back by the operations
// that made it, in their order: the stage gains are distributed and every stage is
// calculated for its reference capacitors (as when its circuit was chosen), then the
// entered capacitors are entered again (the resistors solved for them; their offsets and
// standard marks follow), then with standard values on the standard resistors are
// substituted for the exact values.
//
// Before the stages are calculated: the entered capacitor sets are taken out of the
// design, whose sets then hold the reference values.
struct EnteredCapacitors {
    std::array<std::optional<TCapacitorSet>, kMaxStages + 1> sets{}; // 1-based, by stage
};
EnteredCapacitors TakeEnteredCapacitors(TDesign& d);
// After they are calculated: the entries and the standard values again. Returns notes
// for stages whose entered capacitors can no longer be realised (they keep their
// calculated values).
std::vector<ValueNote> RestoreEnteredValues(TDesign& d, const EnteredCapacitors& entered,
                                            const Inventory* resistorInventory);

} // namespace velmora
