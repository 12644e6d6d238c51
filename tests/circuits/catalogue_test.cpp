// The catalogue: stage types, rows read by their columns, and netlists that agree with
// their rows.
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "analysis/nodal.h"
#include "circuits/catalogue.h"

namespace velmora {
namespace {

TEST(Catalogue, StageTypesOfferTheirCircuitsInOrder) {
    const std::map<int, std::vector<std::string>> offered = {
        {0, {"FLP01", "FLP02", "FLP03"}},
        {1, {"FHP01", "FHP02", "FHP03", "FHP04"}},
        {2, {"SLP01", "SLP02", "SLP03", "SLP04", "SLP08", "SLP13"}},
        {3, {"SHP01", "SHP02", "SHP03", "SHP06", "SHP10"}},
        {4, {"SBP03", "SBP04", "SBP05", "SBP08", "SBP13"}},
        {5, {"SLPN01", "SLPN04", "SLPN10"}},
        {6, {"SHPN01", "SHPN03", "SHPN09"}},
        {7, {"SN01", "SN02", "SN09"}},
    };
    int total = 0;
    for (const auto& [type, keys] : offered) {
        const StageTypeEntry* t = StageTypeInfo(type);
        ASSERT_TRUE(t);
        ASSERT_EQ(t->offered, static_cast<int>(keys.size()));
        for (int k = 1; k <= t->offered; ++k) {
            const CatalogueEntry* e = EntryByChoice(type, k);
            ASSERT_TRUE(e) << type << " " << k;
            EXPECT_EQ(e->key, keys[static_cast<std::size_t>(k - 1)]);
            EXPECT_TRUE(e->key.starts_with(t->prefix));
            // The number is the type's base plus the key's two digits.
            const int n = std::stoi(std::string(e->key.substr(e->key.size() - 2)));
            EXPECT_EQ(e->number, t->base + n);
            EXPECT_EQ(EntryByNumber(e->number), e);
            EXPECT_EQ(EntryByKey(e->key), e);
            ++total;
        }
        EXPECT_FALSE(EntryByChoice(type, t->offered + 1));
    }
    EXPECT_EQ(total, 32);
    EXPECT_FALSE(StageTypeInfo(8));
    EXPECT_FALSE(EntryByKey("SLP05"));
}

TEST(Catalogue, NetlistsAgreeWithTheirRows) {
    EXPECT_EQ(AllTopologies().size(), 44u); // 32 plain, 12 compensated: all parse
    std::set<int> variants;
    for (const CatalogueEntry& e : CatalogueEntries()) {
        SCOPED_TRACE(std::string(e.key));
        const CatalogueRow* row = &e.row;
        const Topology* t = FindTopology(e.key);
        ASSERT_TRUE(t);
        EXPECT_EQ(t->resistors(), row->ResistorCount);
        EXPECT_EQ(t->capacitors(), row->CapacitorCount);
        EXPECT_EQ(static_cast<int>(t->opamps.size()), row->OpAmpCount);
        // Components are numbered 1..n of their kind, each once.
        std::set<std::pair<char, int>> seen;
        for (const NetComponent& p : t->parts) {
            EXPECT_TRUE(seen.insert({p.kind, p.number}).second);
            EXPECT_LE(p.number, p.kind == 'R' ? row->ResistorCount : row->CapacitorCount);
        }
        // The output is driven by an op amp; every internal node is connected twice at least.
        bool outputDriven = false;
        std::map<int, int> connections;
        for (const NetOpAmp& a : t->opamps) {
            outputDriven |= a.out == 2;
            ++connections[a.plus];
            ++connections[a.minus];
            ++connections[a.out];
        }
        for (const NetComponent& p : t->parts) {
            ++connections[p.a];
            ++connections[p.b];
        }
        EXPECT_TRUE(outputDriven);
        for (int n = 2; n <= t->highestNode; ++n)
            EXPECT_GE(connections[n], 2) << "node " << n;

        const Topology* comp = FindTopology(e.key, true);
        EXPECT_EQ(comp != nullptr, row->ActiveComp != 0);
        if (comp) {
            EXPECT_TRUE(variants.insert(row->CompVariant).second);
            EXPECT_EQ(comp->opamps.size(), t->opamps.size() + 1);
            EXPECT_EQ(comp->capacitors(), t->capacitors());
            // A gain pair (or the SAB's feedback divider) gets a second pair around the added op amp.
            const bool extraPair = row->GainPair || e.key.starts_with("SLPN") || e.key.starts_with("SHPN");
            EXPECT_EQ(comp->resistors(), t->resistors() + (extraPair ? 2 : 0));
        }
    }
}

TEST(Catalogue, SallenKeyBandpassHasNegativeFeedback) {
    // With ideal op amps the two input orders give the same response; only a finite-gain
    // amplifier tells them apart. Positive feedback around A(s) = wt/s puts a real pole in
    // the right half-plane, where the response on the positive real axis s = sigma then
    // passes through infinity and changes sign. The catalogue's netlist (the + input on
    // the R3-C1 node, the - input on the gain divider) has no such pole.
    ComponentValues<long double> v;
    v.R[1] = 10.0e3L;
    v.R[2] = 20.0e3L;
    v.R[3] = 10.0e3L;
    v.R[4] = 10.0e3L;
    v.R[5] = 10.0e3L;
    v.C[1] = 10.0e-9L;
    v.C[2] = 10.0e-9L;
    const Topology* t = FindTopology("SBP03");
    ASSERT_TRUE(t);
    Topology swapped = *t;
    std::swap(swapped.opamps[0].plus, swapped.opamps[0].minus);
    const auto signChanges = [&](const Topology& net) {
        int changes = 0;
        long double previous = 0;
        for (long double sigma = 1.0L; sigma < 1.0e9L; sigma *= 1.05L) {
            const auto h = NodalResponse(net, v, {sigma, 0.0L}, OpAmpModel::SinglePole(1.0e6L));
            if (!h) continue;
            if (previous != 0 && (h->real() > 0) != (previous > 0)) ++changes;
            previous = h->real();
        }
        return changes;
    };
    EXPECT_EQ(signChanges(*t), 0);
    EXPECT_GT(signChanges(swapped), 0);
    const Complex s{0.0L, 1.0e4L};
    EXPECT_LT(std::abs(*NodalResponse(*t, v, s) - *NodalResponse(swapped, v, s)), 1.0e-15L);
}

} // namespace
} // namespace velmora
