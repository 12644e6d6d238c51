#include "circuits/schematic_layouts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <map>
#include <numeric>

namespace velmora {
namespace {

struct LayoutText {
    std::string_view key;
    bool compensated;
    std::string_view text;
};

// The drawings. Signal flows left to right, the input terminal at the left edge and the
// output at the right; feedback runs above the forward path, grounds hang below it.
constexpr std::array<LayoutText, 44> kLayouts = {{
    {"FLP01", false,
     "i 0,2; w 0,2 1,2; R1 h 1,2; w 3,2 6,2; C1 v 4,2; g 4,4; A1 +- 6,2; w 6,4 6,5 10,5 10,3; w 9,3 10,3 "
     "11,3; o 11,3"},
    {"FLP02", false,
     "i 0,2; w 0,2 1,2; R1 h 1,2; w 3,2 6,2; C1 v 4,2; g 4,4; A1 +- 6,2; w 6,4 6,6 7,6; R2 v 6,6; g 6,8; "
     "R3 h 7,6; w 9,6 10,6 10,3; w 9,3 10,3 11,3; o 11,3"},
    {"FLP03", false,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; A1 -+ 5,5; w 5,7 4,7; g 4,7; w 4,5 4,0 5,0; w 4,3 5,3; R2 h "
     "5,3; C1 h 5,0; w 7,0 9,0 9,6; w 7,3 9,3; w 8,6 9,6 10,6; o 10,6"},
    {"SLP01", false,
     "i 0,4; w 0,4 1,4; R1 h 1,4; w 3,4 4,4; R2 h 4,4; w 6,4 9,4; C1 v 7,4; g 7,6; A1 +- 9,4; w 9,6 9,7 "
     "13,7 13,1 3,1; C2 v 3,1; w 3,3 3,4; w 12,5 13,5 14,5; o 14,5"},
    {"SLP01", true,
     "i 0,4; w 0,4 1,4; R1 h 1,4; w 3,4 4,4; R2 h 4,4; w 6,4 9,4; C1 v 7,4; g 7,6; A1 +- 9,4; C2 v 3,1; "
     "w 3,3 3,4; w 3,1 13,1 13,8 14,8; A2 +- 14,8; w 9,6 9,12 18,12 18,9 17,9; w 14,10 14,12; w 12,5 "
     "13,5 19,5; o 19,5"},
    {"SLP03", false,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; C2 v 4,5; g 4,7; R3 h 5,5; w 7,5 9,5; A1 -+ 9,5; w 9,7 8,7; "
     "g 8,7; w 4,5 4,1 6,1; R2 h 6,1; w 8,1 13,1 13,6; w 8,5 8,3 9,3; C1 h 9,3; w 11,3 13,3; w 12,6 13,6 "
     "14,6; o 14,6"},
    {"SLP03", true,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; C2 v 4,5; g 4,7; R3 h 5,5; w 7,5 9,5; A1 -+ 9,5; w 9,7 8,7; "
     "g 8,7; w 4,5 4,1 6,1; R2 h 6,1; w 8,1 18,1 18,7; w 8,5 8,3 9,3; C1 h 9,3; w 11,3 18,3; w 12,6 "
     "14,6; A2 +- 14,6; w 14,8 14,9 7,9 7,5; w 17,7 18,7 19,7; o 19,7"},
    {"SHP01", false,
     "i 0,4; w 0,4 1,4; C1 h 1,4; w 3,4 4,4; C2 h 4,4; w 6,4 9,4; R1 v 7,4; g 7,6; A1 +- 9,4; w 9,6 9,7 "
     "13,7 13,1 3,1; R2 v 3,1; w 3,3 3,4; w 12,5 13,5 14,5; o 14,5"},
    {"SHP01", true,
     "i 0,4; w 0,4 1,4; C1 h 1,4; w 3,4 4,4; C2 h 4,4; w 6,4 9,4; R1 v 7,4; g 7,6; A1 +- 9,4; R2 v 3,1; "
     "w 3,3 3,4; w 3,1 13,1 13,8 14,8; A2 +- 14,8; w 9,6 9,12 18,12 18,9 17,9; w 14,10 14,12; w 12,5 "
     "13,5 19,5; o 19,5"},
    {"SBP03", false,
     "i 0,4; w 0,4 1,4; R1 h 1,4; w 3,4 5,4; C2 v 4,4; g 4,6; C1 h 5,4; w 7,4 10,4; R3 v 8,4; g 8,6; A1 "
     "+- 10,4; w 10,6 10,8 12,8; R4 v 10,8; g 10,10; R5 h 12,8; w 14,8 15,8; w 3,4 3,1 6,1; R2 h 6,1; w "
     "8,1 15,1 15,8; w 13,5 15,5 16,5; o 16,5"},
    {"SN01", false,
     "i 0,5; w 0,5 1,5; w 2,3 1,3 1,7 2,7; C1 h 2,3; w 4,3 6,3; C2 h 6,3; R1 h 2,7; w 4,7 6,7; R2 h 6,7; "
     "w 5,7 5,8; C3 v 5,8; g 5,10; R3 v 5,0; w 5,2 5,3; w 8,3 9,3 9,7 8,7; w 9,5 10,5; A1 +- 10,5; w "
     "10,7 10,9 12,9; R4 v 10,9; g 10,11; R5 h 12,9; w 14,9 15,9 15,0 5,0; w 13,6 15,6 16,6; o 16,6"},
    {"SLPN01", false,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; R4 v 4,5; g 4,7; C1 h 5,5; w 7,5 10,5; R5 v 8,5; g 8,7; w "
     "8,5 8,3 9,3; R2 h 9,3; w 11,3 14,3; w 3,5 3,1 5,1; C2 h 5,1; w 7,1 14,1 14,9 13,9; A1 -+ 10,5; w "
     "0,5 0,9 1,9; R3 h 1,9; w 3,9 11,9; w 10,7 10,9; R6 v 6,9; g 6,11; R7 h 11,9; w 13,6 14,6 15,6; o "
     "15,6"},
    {"FHP01", false,
     "i 0,2; w 0,2 1,2; C1 h 1,2; w 3,2 6,2; R1 v 4,2; g 4,4; A1 +- 6,2; w 6,4 6,5 10,5 10,3; w 9,3 10,3 "
     "11,3; o 11,3"},
    {"FHP02", false,
     "i 0,2; w 0,2 1,2; C1 h 1,2; w 3,2 6,2; R1 v 4,2; g 4,4; A1 +- 6,2; w 6,4 6,6 7,6; R2 v 6,6; g 6,8; "
     "R3 h 7,6; w 9,6 10,6 10,3; w 9,3 10,3 11,3; o 11,3"},
    {"FHP03", false,
     "i 0,5; w 0,5 1,5; C1 h 1,5; w 3,5 5,5; A1 -+ 5,5; w 5,7 4,7; g 4,7; w 4,5 4,0 5,0; w 4,3 5,3; R1 h "
     "5,3; C2 h 5,0; w 7,0 9,0 9,6; w 7,3 9,3; w 8,6 9,6 10,6; o 10,6"},
    {"FHP04", false,
     "i 0,4; w 0,4 1,4; R1 h 1,4; w 3,4 4,4; C1 h 4,4; w 6,4 8,4; A1 -+ 8,4; w 8,6 7,6; g 7,6; w 7,4 7,2 "
     "8,2; R2 h 8,2; w 10,2 12,2 12,5; w 11,5 12,5 13,5; o 13,5"},
    {"SLP02", false,
     "i 0,4; w 0,4 1,4; R1 h 1,4; w 3,4 4,4; R2 h 4,4; w 6,4 9,4; C1 v 7,4; g 7,6; A1 +- 9,4; C2 v 3,1; "
     "w 3,3 3,4; w 9,6 9,8 11,8; R3 v 9,8; g 9,10; R4 h 11,8; w 13,8 14,8 14,1 3,1; w 12,5 14,5 15,5; o "
     "15,5"},
    {"SLP02", true,
     "i 0,4; w 0,4 1,4; R1 h 1,4; w 3,4 4,4; R2 h 4,4; w 6,4 9,4; C1 v 7,4; g 7,6; A1 +- 9,4; C2 v 3,1; "
     "w 3,3 3,4; w 3,1 13,1 13,5; w 12,5 13,5 21,5; o 21,5; R4 v 13,5; R3 v 13,7; g 13,9; w 13,7 15,7; "
     "A2 +- 15,7; w 18,8 19,8; R5 v 19,8; R6 v 19,10; g 19,12; w 19,10 20,10 20,13 9,13 9,6; w 15,9 "
     "15,13"},
    {"SHP02", false,
     "i 0,4; w 0,4 1,4; C2 h 1,4; w 3,4 4,4; C1 h 4,4; w 6,4 9,4; R1 v 7,4; g 7,6; A1 +- 9,4; R2 v 3,1; "
     "w 3,3 3,4; w 9,6 9,8 11,8; R3 v 9,8; g 9,10; R4 h 11,8; w 13,8 14,8 14,1 3,1; w 12,5 14,5 15,5; o "
     "15,5"},
    {"SHP02", true,
     "i 0,4; w 0,4 1,4; C2 h 1,4; w 3,4 4,4; C1 h 4,4; w 6,4 9,4; R1 v 7,4; g 7,6; A1 +- 9,4; R2 v 3,1; "
     "w 3,3 3,4; w 3,1 13,1 13,5; w 12,5 13,5 21,5; o 21,5; R4 v 13,5; R3 v 13,7; g 13,9; w 13,7 15,7; "
     "A2 +- 15,7; w 18,8 19,8; R5 v 19,8; R6 v 19,10; g 19,12; w 19,10 20,10 20,13 9,13 9,6; w 15,9 "
     "15,13"},
    {"SBP03", true,
     "i 0,4; w 0,4 1,4; R1 h 1,4; w 3,4 5,4; C2 v 4,4; g 4,6; C1 h 5,4; w 7,4 9,4; R3 v 8,4; g 8,6; A1 "
     "+- 9,4; w 3,4 3,1 6,1; R2 h 6,1; w 8,1 13,1 13,5; w 12,5 13,5 21,5; o 21,5; R5 v 13,5; R4 v 13,7; "
     "g 13,9; w 13,7 15,7; A2 +- 15,7; w 18,8 19,8; R6 v 19,8; R7 v 19,10; g 19,12; w 19,10 20,10 20,13 "
     "9,13 9,6; w 15,9 15,13"},
    {"SLP04", false,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; C2 v 4,5; g 4,7; R3 h 5,5; w 7,5 9,5; A1 -+ 9,5; w 9,7 9,9 "
     "11,9; R4 v 9,9; g 9,11; R5 h 11,9; w 4,5 4,1 6,1; R2 h 6,1; w 8,1 14,1 14,9 13,9; w 8,5 8,3 9,3; "
     "C1 h 9,3; w 11,3 14,3; w 12,6 14,6 15,6; o 15,6"},
    {"SHP03", false,
     "i 0,5; w 0,5 1,5; C1 h 1,5; w 3,5 5,5; R1 v 4,5; g 4,7; C3 h 5,5; w 7,5 9,5; A1 -+ 9,5; w 9,7 8,7; "
     "g 8,7; w 4,5 4,1 6,1; C2 h 6,1; w 8,1 13,1 13,6; w 8,5 8,3 9,3; R2 h 9,3; w 11,3 13,3; w 12,6 13,6 "
     "14,6; o 14,6"},
    {"SHP03", true,
     "i 0,5; w 0,5 1,5; C1 h 1,5; w 3,5 5,5; R1 v 4,5; g 4,7; C3 h 5,5; w 7,5 9,5; A1 -+ 9,5; w 9,7 8,7; "
     "g 8,7; w 4,5 4,1 6,1; C2 h 6,1; w 8,1 18,1 18,7; w 8,5 8,3 9,3; R2 h 9,3; w 11,3 18,3; w 12,6 "
     "14,6; A2 +- 14,6; w 14,8 14,9 7,9 7,5; w 17,7 18,7 19,7; o 19,7"},
    {"SBP04", false,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; R3 v 4,5; g 4,7; C1 h 5,5; w 7,5 9,5; A1 -+ 9,5; w 9,7 8,7; "
     "g 8,7; w 4,5 4,1 6,1; C2 h 6,1; w 8,1 13,1 13,6; w 8,5 8,3 9,3; R2 h 9,3; w 11,3 13,3; w 12,6 13,6 "
     "14,6; o 14,6"},
    {"SBP04", true,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; R3 v 4,5; g 4,7; C1 h 5,5; w 7,5 9,5; A1 -+ 9,5; w 9,7 8,7; "
     "g 8,7; w 4,5 4,1 6,1; C2 h 6,1; w 8,1 18,1 18,7; w 8,5 8,3 9,3; R2 h 9,3; w 11,3 18,3; w 12,6 "
     "14,6; A2 +- 14,6; w 14,8 14,9 7,9 7,5; w 17,7 18,7 19,7; o 19,7"},
    {"SBP05", false,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; R3 v 4,5; g 4,7; C1 h 5,5; w 7,5 9,5; A1 -+ 9,5; w 9,7 9,9 "
     "11,9; R4 v 9,9; g 9,11; R5 h 11,9; w 4,5 4,1 6,1; C2 h 6,1; w 8,1 14,1 14,9 13,9; w 8,5 8,3 9,3; "
     "R2 h 9,3; w 11,3 14,3; w 12,6 14,6 15,6; o 15,6"},
    {"SLP13", false,
     "i 0,3; w 0,3 1,3; R1 h 1,3; w 3,3 4,3; A1 +- 4,3; g 4,5; w 5,0 3,0 3,18 5,18; C1 h 5,0; w 7,0 17,0 "
     "17,5 15,5; w 7,4 9,4; R3 h 9,4; w 11,4 12,4; A2 -+ 12,4; w 12,6 11,6; g 11,6; w 11,4 11,2 12,2; R2 "
     "h 12,2; w 14,2 17,2; w 8,4 8,9 9,9; R4 h 9,9; w 11,9 12,9; A3 -+ 12,9; g 12,11; w 11,9 11,16 "
     "12,16; w 11,13 12,13; R5 h 12,13; C2 h 12,16; w 14,13 16,13; w 14,16 16,16 16,10; w 15,10 18,10; "
     "R6 h 5,18; w 7,18 17,18 17,10; o 18,10"},
    {"SBP13", false,
     "i 0,6; w 0,6 0,21 5,21; R1 h 5,21; w 7,21 11,21 11,19; w 4,6 3,6 3,0 5,0; w 3,3 5,3; C1 h 5,3; R6 "
     "h 5,0; w 7,0 19,0 19,13; A1 +- 4,6; w 4,8 3,8; g 3,8; w 7,3 17,3 17,8 15,8; w 7,7 8,7; R3 h 8,7; w "
     "10,7 12,7; A2 -+ 12,7; w 12,9 11,9; g 11,9; w 11,7 11,5 12,5; R2 h 12,5; w 14,5 17,5; w 8,7 8,12 "
     "9,12; R4 h 9,12; w 11,12 12,12; A3 -+ 12,12; g 12,14; w 11,12 11,19 12,19; w 11,16 12,16; R5 h "
     "12,16; C2 h 12,19; w 14,16 16,16; w 14,19 16,19 16,13; w 15,13 20,13; o 20,13"},
    {"SHP10", false,
     "i 0,6; w 0,6 0,21 5,21; C2 h 5,21; w 7,21 11,21 11,19; w 4,6 3,6 3,0 5,0; w 3,3 5,3; C3 h 5,3; R6 "
     "h 5,0; w 7,0 20,0 20,13; A1 +- 4,6; w 4,8 3,8; g 3,8; w 7,3 18,3 18,8 16,8; w 7,7 8,7; R3 h 8,7; w "
     "10,7 13,7; R1 v 11,7; g 11,9; A2 -+ 13,7; g 13,9; w 11,7 11,5 13,5; R2 h 13,5; w 15,5 18,5; w 8,7 "
     "8,12 9,12; R4 h 9,12; w 11,12 13,12; A3 -+ 13,12; w 13,14 12,14; g 12,14; w 11,12 11,19 13,19; w "
     "11,16 13,16; R5 h 13,16; C1 h 13,19; w 15,16 17,16; w 15,19 17,19 17,13; w 16,13 21,13; o 21,13"},
    {"SLPN10", false,
     "i 0,6; w 0,6 1,6; R1 h 1,6; w 3,6 4,6; w 0,6 0,21 5,21; C3 h 5,21; w 7,21 11,21 11,19; w 3,6 3,0 "
     "5,0; w 3,3 5,3; C1 h 5,3; R7 h 5,0; w 7,0 20,0 20,13; A1 +- 4,6; w 4,8 3,8; g 3,8; w 7,3 18,3 18,8 "
     "16,8; w 7,7 8,7; R3 h 8,7; w 10,7 13,7; R6 v 11,7; g 11,9; A2 -+ 13,7; g 13,9; w 11,7 11,5 13,5; "
     "R2 h 13,5; w 15,5 18,5; w 8,7 8,12 9,12; R4 h 9,12; w 11,12 13,12; A3 -+ 13,12; w 13,14 12,14; g "
     "12,14; w 11,12 11,19 13,19; w 11,16 13,16; R5 h 13,16; C2 h 13,19; w 15,16 17,16; w 15,19 17,19 "
     "17,13; w 16,13 21,13; o 21,13"},
    {"SHPN09", false,
     "i 0,6; w 0,6 1,6; R1 h 1,6; w 3,6 4,6; w 0,6 0,21 5,21; C3 h 5,21; w 7,21 11,21 11,19; w 3,6 3,0 "
     "5,0; w 3,3 5,3; C1 h 5,3; R7 h 5,0; w 7,0 20,0 20,13; A1 +- 4,6; w 4,8 3,8; g 3,8; w 7,3 18,3 18,8 "
     "16,8; w 7,7 8,7; R3 h 8,7; w 10,7 13,7; R6 v 11,7; g 11,9; A2 -+ 13,7; g 13,9; w 11,7 11,5 13,5; "
     "R2 h 13,5; w 15,5 18,5; w 8,7 8,12 9,12; R4 h 9,12; w 11,12 13,12; A3 -+ 13,12; w 13,14 12,14; g "
     "12,14; w 11,12 11,19 13,19; w 11,16 13,16; R5 h 13,16; C2 h 13,19; w 15,16 17,16; w 15,19 17,19 "
     "17,13; w 16,13 21,13; o 21,13"},
    {"SN09", false,
     "i 0,6; w 0,6 1,6; R1 h 1,6; w 3,6 4,6; w 0,6 0,21 5,21; C3 h 5,21; w 7,21 11,21 11,19; w 3,6 3,0 "
     "5,0; w 3,3 5,3; C1 h 5,3; R7 h 5,0; w 7,0 20,0 20,13; A1 +- 4,6; w 4,8 3,8; g 3,8; w 7,3 18,3 18,8 "
     "16,8; w 7,7 8,7; R3 h 8,7; w 10,7 13,7; R6 v 11,7; g 11,9; A2 -+ 13,7; g 13,9; w 11,7 11,5 13,5; "
     "R2 h 13,5; w 15,5 18,5; w 8,7 8,12 9,12; R4 h 9,12; w 11,12 13,12; A3 -+ 13,12; w 13,14 12,14; g "
     "12,14; w 11,12 11,19 13,19; w 11,16 13,16; R5 h 13,16; C2 h 13,19; w 15,16 17,16; w 15,19 17,19 "
     "17,13; w 16,13 21,13; o 21,13"},
    {"SHPN01", false,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; R4 v 4,5; g 4,7; C1 h 5,5; w 7,5 10,5; R2 v 8,5; w 8,7 8,8 "
     "0,8; w 8,5 8,3 9,3; R5 h 9,3; w 11,3 14,3; w 3,5 3,1 5,1; C2 h 5,1; w 7,1 14,1 14,10 13,10; A1 -+ "
     "10,5; w 0,5 0,10 1,10; R3 h 1,10; w 3,10 11,10; w 10,7 10,10; R6 v 6,10; g 6,12; R7 h 11,10; w "
     "13,6 14,6 15,6; o 15,6"},
    {"SLP08", false,
     "i 0,4; w 0,4 1,4; R3 h 1,4; w 3,4 5,4; A1 +- 5,4; w 4,4 4,0 5,0; R4 h 5,0; w 7,0 17,0 17,3; w 5,6 "
     "5,10 6,10; w 5,8 6,8; R6 h 6,8; w 8,8 9,8 9,5; R5 h 6,10; w 8,10 25,10 25,7; w 8,5 10,5; R1 h "
     "10,5; w 12,5 13,5; A2 -+ 13,5; w 13,7 12,7; g 12,7; w 12,5 12,3 13,3; C1 h 13,3; w 15,3 17,3 17,6; "
     "w 16,6 18,6; R2 h 18,6; w 20,6 21,6; A3 -+ 21,6; w 21,8 20,8; g 20,8; w 20,6 20,4 21,4; C2 h 21,4; "
     "w 23,4 25,4 25,7; w 24,7 25,7 27,7; o 27,7"},
    {"SBP08", false,
     "i 0,4; w 0,4 1,4; R3 h 1,4; w 3,4 5,4; A1 +- 5,4; w 4,4 4,0 5,0; R4 h 5,0; w 7,0 27,0; w 17,0 "
     "17,3; w 5,6 5,10 6,10; w 5,8 6,8; R6 h 6,8; w 8,8 9,8 9,5; R5 h 6,10; w 8,10 25,10 25,7; w 8,5 "
     "10,5; R1 h 10,5; w 12,5 13,5; A2 -+ 13,5; w 13,7 12,7; g 12,7; w 12,5 12,3 13,3; C1 h 13,3; w 15,3 "
     "17,3 17,6; w 16,6 18,6; R2 h 18,6; w 20,6 21,6; A3 -+ 21,6; w 21,8 20,8; g 20,8; w 20,6 20,4 21,4; "
     "C2 h 21,4; w 23,4 25,4 25,7; w 24,7 25,7; o 27,0"},
    {"SHP06", false,
     "i 0,4; w 0,4 1,4; R3 h 1,4; w 3,4 5,4; A1 +- 5,4; w 4,4 4,0 5,0; R4 h 5,0; w 7,0 17,0 17,3; w 5,6 "
     "5,10 6,10; w 5,8 6,8; R6 h 6,8; w 8,8 9,8 9,5; R5 h 6,10; w 8,10 25,10 25,7; w 8,5 10,5; R1 h "
     "10,5; w 12,5 13,5; A2 -+ 13,5; w 13,7 12,7; g 12,7; w 12,5 12,3 13,3; C1 h 13,3; w 15,3 17,3 17,6; "
     "w 16,6 18,6; R2 h 18,6; w 20,6 21,6; A3 -+ 21,6; w 21,8 20,8; g 20,8; w 20,6 20,4 21,4; C2 h 21,4; "
     "w 23,4 25,4 25,7; w 24,7 25,7; w 9,5 9,2 10,2; o 10,2"},
    {"SLP04", true,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; C2 v 4,5; g 4,7; R3 h 5,5; w 7,5 9,5; A1 -+ 9,5; w 4,5 4,1 "
     "6,1; R2 h 6,1; w 8,1 13,1 13,6; w 8,5 8,3 9,3; C1 h 9,3; w 11,3 13,3; w 12,6 13,6 21,6; o 21,6; R5 "
     "v 13,6; R4 v 13,8; g 13,10; w 13,8 15,8; A2 +- 15,8; w 18,9 19,9; R6 v 19,9; R7 v 19,11; g 19,13; "
     "w 19,11 20,11 20,14 9,14 9,7; w 15,10 15,14"},
    {"SBP05", true,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; R3 v 4,5; g 4,7; C1 h 5,5; w 7,5 9,5; A1 -+ 9,5; w 4,5 4,1 "
     "6,1; C2 h 6,1; w 8,1 13,1 13,6; w 8,5 8,3 9,3; R2 h 9,3; w 11,3 13,3; w 12,6 13,6 21,6; o 21,6; R5 "
     "v 13,6; R4 v 13,8; g 13,10; w 13,8 15,8; A2 +- 15,8; w 18,9 19,9; R6 v 19,9; R7 v 19,11; g 19,13; "
     "w 19,11 20,11 20,14 9,14 9,7; w 15,10 15,14"},
    {"SLPN04", false,
     "i 0,7; w 0,7 1,7; R6 h 1,7; w 3,7 6,7; A1 +- 6,7; w 0,7 0,1 1,1; C1 h 1,1; w 0,4 1,4; R1 h 1,4; w "
     "3,1 4,1 4,4; w 3,4 16,4 16,8; w 13,8 19,8; R2 v 14,8; g 14,10; C2 v 17,8; g 17,10; A2 +- 19,8; w "
     "9,8 11,8; R3 h 11,8; w 10,8 10,10; C3 v 10,10; w 6,9 5,9 5,12 19,12; w 18,12 18,10 19,10; R4 h "
     "19,12; w 21,12 23,12 23,9; w 22,9 25,9; o 25,9; w 4,7 4,14 5,14; R5 h 5,14; w 7,14 24,14 24,9"},
    {"SHPN03", false,
     "i 0,7; w 0,7 1,7; R5 h 1,7; w 3,7 6,7; A1 +- 6,7; w 0,7 0,1 1,1; C1 h 1,1; w 0,4 1,4; R1 h 1,4; w "
     "3,1 4,1 4,4; w 3,4 16,4 16,8; w 13,8 19,8; R2 v 14,8; g 14,10; A2 +- 19,8; w 9,8 11,8; R3 h 11,8; "
     "w 10,8 10,10; C2 v 10,10; w 6,9 5,9 5,12 19,12; w 18,12 18,10 19,10; R4 h 19,12; w 21,12 23,12 "
     "23,9; w 22,9 25,9; o 25,9; w 4,7 4,14 8,14; R7 v 6,14; g 6,16; R6 h 8,14; w 10,14 24,14 24,9"},
    {"SN02", false,
     "i 0,7; w 0,7 1,7; R6 h 1,7; w 3,7 6,7; A1 +- 6,7; w 0,7 0,1 1,1; C1 h 1,1; w 0,4 1,4; R1 h 1,4; w "
     "3,1 4,1 4,4; w 3,4 16,4 16,8; w 13,8 19,8; R2 v 14,8; g 14,10; A2 +- 19,8; w 9,8 11,8; R3 h 11,8; "
     "w 10,8 10,10; C2 v 10,10; w 6,9 5,9 5,12 19,12; w 18,12 18,10 19,10; R4 h 19,12; w 21,12 23,12 "
     "23,9; w 22,9 25,9; o 25,9; w 4,7 4,14 5,14; R5 h 5,14; w 7,14 24,14 24,9"},
    {"SLPN01", true,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; R4 v 4,5; g 4,7; C1 h 5,5; w 7,5 10,5; R5 v 8,5; g 8,7; w "
     "8,5 8,3 16,3 16,4 17,4; R2 v 13,1; w 3,5 3,1 5,1; C2 h 5,1; w 7,1 22,1 22,11 13,11; A1 -+ 10,5; w "
     "0,5 0,11 1,11; R3 h 1,11; w 3,11 11,11; w 10,7 10,11; R6 v 6,11; g 6,13; R7 h 11,11; w 13,6 14,6; "
     "R8 h 14,6; w 16,6 17,6; A2 -+ 17,4; R9 v 16,7; w 16,6 16,7; w 16,9 22,9; w 20,5 22,5 23,5; o 23,5"},
    {"SHPN01", true,
     "i 0,5; w 0,5 1,5; R1 h 1,5; w 3,5 5,5; R4 v 4,5; g 4,7; C1 h 5,5; w 7,5 10,5; R2 v 8,5; w 8,7 8,8 "
     "0,8; w 8,5 8,3 16,3 16,4 17,4; R5 v 13,1; w 3,5 3,1 5,1; C2 h 5,1; w 7,1 22,1 22,11 13,11; A1 -+ "
     "10,5; w 0,5 0,11 1,11; R3 h 1,11; w 3,11 11,11; w 10,7 10,11; R6 v 6,11; g 6,13; R7 h 11,11; w "
     "13,6 14,6; R8 h 14,6; w 16,6 17,6; A2 -+ 17,4; R9 v 16,7; w 16,6 16,7; w 16,9 22,9; w 20,5 22,5 "
     "23,5; o 23,5"},
}};

class Reader {
  public:
    explicit Reader(std::string_view t) : t_(t) {}
    void skip() {
        while (p_ < t_.size() && t_[p_] == ' ')
            ++p_;
    }
    bool end() {
        skip();
        return p_ >= t_.size() || t_[p_] == ';';
    }
    std::string_view word() {
        skip();
        const std::size_t s = p_;
        while (p_ < t_.size() && t_[p_] != ' ' && t_[p_] != ';')
            ++p_;
        return t_.substr(s, p_ - s);
    }
    bool point(GridPoint& g) {
        const std::string_view w = word();
        const std::size_t comma = w.find(',');
        if (comma == std::string_view::npos) return false;
        auto num = [](std::string_view s, int& v) {
            const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
            return r.ec == std::errc() && r.ptr == s.data() + s.size();
        };
        return num(w.substr(0, comma), g.X) && num(w.substr(comma + 1), g.Y);
    }
    bool semicolon() {
        skip();
        if (p_ < t_.size() && t_[p_] == ';') {
            ++p_;
            return true;
        }
        return p_ >= t_.size();
    }
    bool done() {
        skip();
        return p_ >= t_.size();
    }

  private:
    std::string_view t_;
    std::size_t p_ = 0;
};

std::optional<SchematicLayout> Fail(std::string* error, std::string message) {
    if (error) *error = std::move(message);
    return std::nullopt;
}

// Whether p lies on the axis-parallel segment a-b (ends included).
bool OnSegment(GridPoint p, GridPoint a, GridPoint b) {
    if (a.X == b.X) return p.X == a.X && p.Y >= std::min(a.Y, b.Y) && p.Y <= std::max(a.Y, b.Y);
    if (a.Y == b.Y) return p.Y == a.Y && p.X >= std::min(a.X, b.X) && p.X <= std::max(a.X, b.X);
    return false;
}

// Every point that can carry a connection: pins, terminals, grounds and wire corners.
std::vector<GridPoint> AnchorPoints(const SchematicLayout& l) {
    std::vector<GridPoint> pts;
    for (const auto& c : l.parts) {
        pts.push_back(c.pin1);
        pts.push_back(c.pin2());
    }
    for (const auto& a : l.opamps) {
        pts.push_back(a.plus());
        pts.push_back(a.minus());
        pts.push_back(a.out());
    }
    for (const auto& w : l.wires)
        pts.insert(pts.end(), w.begin(), w.end());
    pts.insert(pts.end(), l.grounds.begin(), l.grounds.end());
    pts.push_back(l.input);
    pts.push_back(l.output);
    std::sort(pts.begin(), pts.end(),
              [](GridPoint a, GridPoint b) { return a.X != b.X ? a.X < b.X : a.Y < b.Y; });
    pts.erase(std::unique(pts.begin(), pts.end()), pts.end());
    return pts;
}

} // namespace

std::optional<SchematicLayout> ParseLayout(std::string_view text, std::string* error) {
    SchematicLayout l;
    bool haveIn = false, haveOut = false;
    Reader r(text);
    while (!r.done()) {
        const std::string_view head = r.word();
        if (head.empty()) return Fail(error, "empty item");
        GridPoint p;
        if (head == "w") {
            std::vector<GridPoint> pts;
            while (!r.end()) {
                if (!r.point(p)) return Fail(error, "bad wire point");
                if (!pts.empty() && pts.back().X != p.X && pts.back().Y != p.Y)
                    return Fail(error, "a wire runs horizontally or vertically");
                pts.push_back(p);
            }
            if (pts.size() < 2) return Fail(error, "a wire needs two points");
            l.wires.push_back(std::move(pts));
        } else if (head == "g" || head == "i" || head == "o") {
            if (!r.point(p)) return Fail(error, "bad point");
            if (head == "g")
                l.grounds.push_back(p);
            else if (head == "i")
                l.input = p, haveIn = true;
            else
                l.output = p, haveOut = true;
        } else if (head.size() >= 2 && (head[0] == 'R' || head[0] == 'C' || head[0] == 'A')) {
            int n = 0;
            const auto res = std::from_chars(head.data() + 1, head.data() + head.size(), n);
            if (res.ec != std::errc() || res.ptr != head.data() + head.size() || n <= 0)
                return Fail(error, "bad name " + std::string(head));
            const std::string_view how = r.word();
            if (!r.point(p)) return Fail(error, "bad point of " + std::string(head));
            if (head[0] == 'A') {
                if (how != "-+" && how != "+-") return Fail(error, "op amp inputs are -+ or +-");
                l.opamps.push_back({n, how == "-+", p});
            } else {
                if (how != "h" && how != "v") return Fail(error, "components are h or v");
                l.parts.push_back({head[0], n, how == "v", p});
            }
        } else {
            return Fail(error, "unknown item " + std::string(head));
        }
        if (!r.semicolon()) return Fail(error, "';' expected after " + std::string(head));
    }
    if (!haveIn || !haveOut) return Fail(error, "input and output terminals are required");
    for (const GridPoint& q : AnchorPoints(l)) {
        l.width = std::max(l.width, q.X);
        l.height = std::max(l.height, q.Y);
    }
    return l;
}

const SchematicLayout* FindLayout(std::string_view key, bool compensated) {
    static const std::vector<SchematicLayout> all = [] {
        std::vector<SchematicLayout> v;
        for (const auto& t : kLayouts) {
            auto l = ParseLayout(t.text); // faults of the table are found by the tests
            if (!l) continue;
            l->key = t.key;
            l->compensated = t.compensated;
            v.push_back(std::move(*l));
        }
        return v;
    }();
    for (const auto& l : all)
        if (l.key == key && l.compensated == compensated) return &l;
    return nullptr;
}

DerivedConnections DeriveConnections(const SchematicLayout& l) {
    const std::vector<GridPoint> pts = AnchorPoints(l);
    std::vector<std::size_t> parent(pts.size());
    std::iota(parent.begin(), parent.end(), std::size_t{0});
    auto find = [&](std::size_t i) {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    };
    auto index = [&](GridPoint p) {
        return static_cast<std::size_t>(
            std::lower_bound(pts.begin(), pts.end(), p,
                             [](GridPoint a, GridPoint b) { return a.X != b.X ? a.X < b.X : a.Y < b.Y; }) -
            pts.begin());
    };
    std::vector<bool> wired(pts.size(), false);
    for (const auto& w : l.wires)
        for (std::size_t s = 0; s + 1 < w.size(); ++s) {
            std::size_t first = pts.size();
            for (std::size_t i = 0; i < pts.size(); ++i)
                if (OnSegment(pts[i], w[s], w[s + 1])) {
                    wired[i] = true;
                    if (first == pts.size())
                        first = i;
                    else
                        parent[find(i)] = find(first);
                }
        }

    for (GridPoint g : l.grounds)
        wired[index(g)] = true;
    wired[index(l.input)] = wired[index(l.output)] = true;

    DerivedConnections d;
    std::map<std::size_t, int> node;
    auto fix = [&](GridPoint p, int n, const char* what) {
        auto [it, added] = node.emplace(find(index(p)), n);
        if (!added && it->second != n)
            d.problems.push_back(std::string(what) + " is joined to node " + std::to_string(it->second));
    };
    for (GridPoint g : l.grounds)
        fix(g, 0, "a ground");
    fix(l.input, 1, "the input");
    fix(l.output, 2, "the output");
    int next = 3;
    auto nodeOf = [&](GridPoint p, const std::string& who) {
        const std::size_t i = index(p);
        if (!wired[i]) d.problems.push_back(who + " is on no wire");
        auto [it, added] = node.emplace(find(i), next);
        if (added) ++next;
        return it->second;
    };
    for (const auto& c : l.parts)
        d.pins.push_back({c.name(), {nodeOf(c.pin1, c.name()), nodeOf(c.pin2(), c.name())}});
    for (const auto& a : l.opamps) {
        const std::string n = "A" + std::to_string(a.number);
        d.pins.push_back(
            {n, {nodeOf(a.plus(), n + "+"), nodeOf(a.minus(), n + "-"), nodeOf(a.out(), n + " output")}});
    }
    return d;
}

std::vector<GridPoint> JunctionPoints(const SchematicLayout& l) {
    std::vector<GridPoint> dots;
    for (const GridPoint& p : AnchorPoints(l)) {
        int n = 0;
        for (const auto& w : l.wires)
            for (std::size_t s = 0; s + 1 < w.size(); ++s)
                if (OnSegment(p, w[s], w[s + 1])) n += (p == w[s] || p == w[s + 1]) ? 1 : 2;
        if (n == 0) continue;
        for (const auto& c : l.parts)
            n += (c.pin1 == p) + (c.pin2() == p);
        for (const auto& a : l.opamps)
            n += (a.plus() == p) + (a.minus() == p) + (a.out() == p);
        if (n >= 3) dots.push_back(p);
    }
    return dots;
}

} // namespace velmora
