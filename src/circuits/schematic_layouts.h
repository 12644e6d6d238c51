// Schematic layouts: how each circuit of the catalogue is drawn, kept as compact data
// beside its netlist. A layout places the components, op amps, wires, grounds and the
// input and output terminals on a grid; the painter turns it into a drawing and the
// connections it implies can be derived and compared with the circuit's netlist.
//
// Layout text, items separated by ';', coordinates in grid units (x right, y down):
//   R1 h 3,2     resistor R1, horizontal: pin 1 at (3,2), pin 2 two units right
//   C2 v 5,3     capacitor C2, vertical: pin 1 at (5,3), pin 2 two units down
//   A1 -+ 8,4    op amp A1: the top input at (8,4) is the - input, the bottom input at
//                (8,6) the + input ("+-" the other way round), the output at (11,5)
//   w 1,2 3,2 3,5  a wire through the points (horizontal and vertical runs)
//   g 5,5        a ground at the point
//   i 0,2        the input terminal;  o 14,5  the output terminal
// A wire joins every pin, terminal, ground and wire end lying on it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct GridPoint {
    int X = 0, Y = 0;
    bool operator==(const GridPoint&) const = default;
};

struct LayoutComponent {
    char kind = 'R'; // 'R' or 'C'
    int number = 0;
    bool vertical = false;
    GridPoint pin1; // the second pin is two units right (horizontal) or down (vertical)
    GridPoint pin2() const {
        return vertical ? GridPoint{pin1.X, pin1.Y + 2} : GridPoint{pin1.X + 2, pin1.Y};
    }
    std::string name() const { return std::string(1, kind) + std::to_string(number); }
};

struct LayoutOpAmp {
    int number = 0;
    bool minusOnTop = true;
    GridPoint top; // the upper input; the lower input is two units below, the output at (+3, +1)
    GridPoint plus() const { return minusOnTop ? GridPoint{top.X, top.Y + 2} : top; }
    GridPoint minus() const { return minusOnTop ? top : GridPoint{top.X, top.Y + 2}; }
    GridPoint out() const { return {top.X + 3, top.Y + 1}; }
};

struct SchematicLayout {
    std::string key;
    bool compensated = false;
    std::vector<LayoutComponent> parts;
    std::vector<LayoutOpAmp> opamps;
    std::vector<std::vector<GridPoint>> wires;
    std::vector<GridPoint> grounds;
    GridPoint input, output;
    int width = 0, height = 0; // extent in grid units (largest coordinate used)
};

// Reads a layout text; std::nullopt with a message on any deviation from the notation.
std::optional<SchematicLayout> ParseLayout(std::string_view text, std::string* error = nullptr);

// The layout of a circuit, plain or compensated (every netlist of the catalogue has
// one), or nullptr for a key or variant the catalogue does not have.
const SchematicLayout* FindLayout(std::string_view key, bool compensated = false);

// The connections a layout implies, in the netlist's terms: node 0 the grounds, 1 the
// input terminal, 2 the output terminal, the other wire nets numbered 3, 4, ... in order
// of first use. Each entry is "R1 a-b" (a < b), "A1 +p -m o", sorted; the same
// derivation over a netlist gives the same texts when the drawing is faithful, up to
// the numbering of the internal nodes, which ConnectionsMatch takes care of.
struct DerivedConnections {
    // per component name ("R1"), its two nodes; per op amp ("A1"), + - out.
    std::vector<std::pair<std::string, std::vector<int>>> pins;
    std::vector<std::string> problems; // a pin on no wire, a terminal shorted to ground, ...
};
DerivedConnections DeriveConnections(const SchematicLayout& layout);

// The grid points where three or more wire ends, pins or wire runs meet (drawn as dots).
std::vector<GridPoint> JunctionPoints(const SchematicLayout& layout);

} // namespace velmora
