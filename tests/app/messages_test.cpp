// Every code the computation returns, with its facts, against the exact sentence the
// person reads. The sentences are the program's established texts: a change here is a
// change of what both front ends show.
#include <gtest/gtest.h>

#include <string>

#include "app/messages.h"

namespace velmora::app {
namespace {

TEST(Messages, EveryCodeHasItsText) {
    using U = UserAddStatus;
    const struct {
        std::string text, expected;
    } cases[] = {
        {UserAddMessage(U::Ok), ""},
        {UserAddMessage(U::OrderExceeded),
         "Unable to add section as maximum filter order of 20 will be exceeded."},
        {UserAddMessage(U::TooManyFirstOrder),
         "Unable to add section as a filter can have at most 2 first order sections."},
        {UserAddMessage(U::TooManySections),
         "Unable to add section as maximum number of sections of 11 will be exceeded."},
        {UserAddMessage(U::NotPositive), "Value must be non-zero."},
        {UserAddMessage(U::QTooLow), "Q must be >0.5."},
        {UserAddMessage(U::QTooHigh), "Q must not exceed 300."},
        {UserAddMessage(U::FrequencyTooHigh),
         "All pole and zero frequencies are limited to a maximum of 100MHz (628Mrad/s)."},
        {UserAddMessage(U::OutOfRange), "Unable to add section as its values are too large or too small."},
        {UserAddMessage(U::SectionGainOutOfRange),
         "Section gain must lie between 0.1V/V and 1000V/V (60dB)."},
        {UserAddMessage(U::GainOutOfRange),
         "Unable to add section as the overall filter gain would leave 0.1V/V to 1000V/V (60dB)."},
        {UserAddMessage(U::TextTooLong), "Unable to add section as an entry is longer than 8 characters."},
        {RecalcMessage(RecalcStatus::Ok), ""},
        {RecalcMessage(RecalcStatus::NotAmenable),
         "This circuit is not amenable to the independent adjustment of capacitor values."},
        {RecalcMessage(RecalcStatus::Locked),
         "Capacitor values are locked while standard resistor values are in use."},
        {RecalcMessage(RecalcStatus::Singular), "Singular matrix"},
        {RecalcMessage(RecalcStatus::Invalid), "Invalid solution for these capacitor values"},
        {RecalcMessage(RecalcStatus::Failed), "Component calculations fail for these capacitor values."},
        {GainChangeReport(0.0L), ""},
        {GainChangeReport(1.0L / 1.05L - 1.0L),
         "Stage gain has decreased by 4.76% from its origional value."},
        {GainChangeReport(0.05L), "Stage gain has increased by 5.00% from its origional value."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, c.expected);
}

TEST(Messages, RefusalsNameTheirFacts) {
    const auto file = [](DesignFileProblem p, std::string field = {}, int stage = 0, int approximation = -1,
                         long long value = 0, long long low = 0, long long limit = 0,
                         long double number = 0) {
        DesignFileResult r;
        r.status = DesignFileStatus::BadContent;
        r.problem = p;
        r.field = std::move(field);
        r.stage = stage;
        r.approximation = approximation;
        r.value = value;
        r.low = low;
        r.limit = limit;
        r.number = number;
        return DesignFileMessage(r);
    };
    const auto circuits = [](CircuitsStatus s, int stage, int type = 0, std::string key = {},
                             std::string failed = {}, long double c1 = 0) {
        CircuitsOutcome o;
        o.status = s;
        o.stage = stage;
        o.stageType = type;
        o.key = std::move(key);
        o.failedStages = std::move(failed);
        o.startC1 = c1;
        return CircuitsMessage(o);
    };
    using P = DesignFileProblem;
    using C = CircuitsStatus;
    const std::string f = "The design file ";
    const struct {
        std::string text, expected;
    } cases[] = {
        {file(P::None), ""},
        {file(P::NotADesignFile), "Invalid Velmora design file"},
        {file(P::EndsEarly, "the pole list", 0, -1, 300, 0, 7719),
         f + "is incomplete: it ends in the pole list (300 bytes of 7719)."},
        {file(P::EndsEarly, "", 2, -1, 5000, 0, 9000),
         f + "is incomplete: it ends in stage 2 (5000 bytes of 9000)."},
        {file(P::TooMany, "stages", 0, -1, 12, 0, 11), f + "holds 12 stages; a design has room for 11."},
        {file(P::OutOfRange, "design level", 0, -1, 9, 0, 8),
         f + "has design level 9; it must lie between 0 and 8."},
        {file(P::OutOfRange, "stage type", 3, -1, 9, 0, 7),
         f + "has in stage 3 stage type 9; it must lie between 0 and 7."},
        {file(P::OutOfRange, "table count", 0, 2, 40, 0, 20),
         f + "has a table count of approximation 2 40; it must lie between 0 and 20."},
        {file(P::GainNotPositive, "", 0, -1, 0, 0, 0, -0.5L),
         f + "has an overall gain of -0.5 V/V; it must be positive."},
        {file(P::NegativeFrequency, "stopband edge", 0, -1, 0, 0, 0, -12.5L),
         f + "has a negative stopband edge (-12.5 rad/s)."},
        {file(P::MissingFrequency, "passband edge"),
         f + "has a computed specification without its passband edge."},
        {file(P::DamagedTag), f + "has a damaged tag."},
        {file(P::DamagedFlags), f + "has a damaged flag string."},
        {file(P::LongApproximationText), f + "has an approximation text longer than its field."},
        {file(P::LongStageText, "", 4), f + "has a text in stage 4 longer than its field."},
        {file(P::NoCapacitorRecord, "", 1, -1, 14, 0, 13),
         f + "has in stage 1 circuit number 14, which selects none of the stage's 13 capacitor records."},
        {file(P::UserSectionsInvalid), "The design file's user-defined sections do not form a valid filter."},
        {file(P::NoCircuit, "", 2), f + "has no circuit for stage 2, though its circuits were selected."},
        {file(P::UnknownCircuit, "", 2, -1, 77),
         f + "has in stage 2 circuit number 77, which names no circuit."},
        {file(P::SaveTooManyStages, "", 0, -1, 12), "The design cannot be saved: it has 12 stages."},
        {file(P::SaveTextTooLong), "The design cannot be saved: a text is too long."},
        {file(P::SaveTextTooLong, "name", 3),
         "The design cannot be saved: the name of stage 3 is longer than the file has room for."},
        {file(P::SaveTextTooLong, "gain constant text", 0, 1),
         "The design cannot be saved: the gain constant text of approximation 1 is longer than the file has "
         "room for."},
        {circuits(C::Ok, 0), ""},
        {circuits(C::NotCascaded, 0), "The design has no cascaded stages yet."},
        {circuits(C::NotRealisable, 2, 0, "SLP03"), "Circuit SLP03 cannot be realised for stage 2."},
        {circuits(C::NoCircuit, 3), "No circuit of the catalogue can realise stage 3."},
        {circuits(C::NoCompensation, 1), "Active compensation is not available for the circuit of stage 1."},
        {circuits(C::NoPredistortion, 1), "Predistortion is not available for the first-order stage 1."},
        {circuits(C::NotActualised, 0, 0, "", "2, 3"),
         "Velmora has been unable to actualize the circuit of stage 2, 3."},
        {circuits(C::BadStart, 2, 0, "", "", 1.0e-9L),
         "The circuit of stage 2 cannot be built from a starting capacitor of 1nF."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, c.expected);
}

} // namespace
} // namespace velmora::app
