// TfmUser: the user-defined filter form ("Create one or more 1st or 2nd order
// stage(s)"). The user builds a filter section by section: the section order, its type
// and the way its pole is given (Q and wp, or the pole position), the entry fields, and
// the list of sections entered so far with Delete and Move. Every section becomes a
// stage at once (stages/user_sections.h keeps the bookkeeping); "Next" hands the filter
// on to the ideal responses.
//
// The section type is a field of this form. The design's FilterType stays 4
// (user-defined) throughout, so a design saved while the form is open is stored as the
// user-defined filter it is.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "analysis/frequency_response.h"
#include "app/design_session.h"
#include "app/parameters.h"
#include "model/design.h"
#include "stages/user_sections.h"
#include "ui/dialogs.h"
#include "ui/drawing_surface.h"
#include "ui/graph_painter.h"
#include "ui/tfm_par_ent.h"

namespace velmora {

// The transfer-function picture beside the fields: Prefix, then Numerator over
// Denominator. "w" stands for wp/wz, written fp/fz when frequencies are in Hz.
struct TUserTemplate {
    std::string Prefix = "T(s) = ";
    std::string Numerator;
    std::string Denominator;
};

// Draws the template: the prefix, then the numerator centred over the fraction bar and
// the denominator under it.
void PaintUserTemplate(DrawingSurface& surface, const TUserTemplate& t);

// One point of the magnitude response of the sections entered so far.
struct TUserResponsePoint {
    long double X = 0;      // frequency in the display unit (Hz or rad/s)
    long double W = 0;      // rad/s
    long double GainDb = 0; // dB, -400 at the floor
};

// The magnitude response of the design's sections over the default axis of the design
// (points 0..350, the axis in `axis`); empty without sections.
std::vector<TUserResponsePoint> UserMagnitudeResponse(const TDesign& d, FrequencyAxis& axis);
// The form's magnitude graph ("Magnitude response") of those points; an empty frame
// without points. The report prints the same picture.
CurveGraph UserMagnitudeGraph(const std::vector<TUserResponsePoint>& response, const FrequencyAxis& axis,
                              bool hz);

class TfmUser {
  public:
    TfmUser(TDesign& design, Dialogs& dialogs);

    std::string Caption = "Create one or more 1st or 2nd order stage(s)";

    // Section order: 0 "First", 1 "Second".
    int UserSectionOrder = 1;
    bool FirstEnabled = true;
    // Section type: 0 "Lowpass", 1 "Highpass", 2 "Bandpass", 3 "Bandstop".
    int SectionType = 0;
    std::array<std::string, 4> TypeCaptions{"Lowpass", "Highpass", "Bandpass", "Bandstop"};
    std::array<bool, 4> TypeEnabled{true, true, true, true};
    // Entry mode: 0 " Q,wp,wz", 1 the pole form (" pole", " poles" or " poles,zeros").
    int UserEntryMode = 0;
    std::string QModeCaption = " Q,wp,wz";
    std::string PoleModeCaption = " poles";
    bool QModeEnabled = true;

    // The first to fourth entry fields and "To =".
    TEditControl Edit1, Edit2, Edit3, Edit4, EditTo;
    std::string UnitCaption; // "  Hz  " or " rad/s "

    std::vector<std::string> ListLines; // "1.  \tLowpass\t2º", ...
    int ItemIndex = -1;                 // selected line, 0-based; -1 none
    std::string OrderCaption;           // " Filter order = 4"
    bool DeleteEnabled = false;
    bool UpEnabled = false;      // move up
    bool DownEnabled = false;    // move down
    bool BitBtn1Enabled = false; // "Next"

    TUserTemplate Template;
    std::vector<TUserResponsePoint> Response; // points 0..350, empty without sections
    FrequencyAxis ResponseAxis;               // the axis of Response
    // The magnitude graph ("Magnitude response") of the sections entered so far; an
    // empty frame without sections.
    void Paint(DrawingSurface& surface) const;

    std::string Focus;
    bool Visible = false;

    // Called by "Next" once the filter goes on to the ideal responses.
    std::function<void()> OnNext;
    // Called after a section was added, deleted or moved.
    std::function<void()> OnSectionsChanged;

    // Shows the form for the design's sections (none for a new design): the list, the
    // order, the buttons, the template and the response; the entry fields take their
    // defaults. Also what the main window runs after reading a user-defined design.
    void FormShow();
    // Relabels the fields, the unit panel, the template and the response for the
    // design's frequency unit (typed texts are left as they are).
    void FrequencyUnitChanged();

    // Handlers
    void RadioGroup1Click(int order); // section order: 0 First, 1 Second
    void RadioGroup2Click(int type);  // section type
    void RadioGroup3Click(int mode);  // entry mode
    void AddBtnClick();
    void DeleteBtnClick();
    void ListBox1Click(int index); // select line `index` (0-based)
    void UpBtnClick();
    void DownBtnClick();
    void BitBtn1Click(); // "Next"
    // A character key typed into an entry field: a refused key beeps, Enter moves the
    // focus to the next visible field.
    EntryKey KeyPress(TEditControl& edit, char key, int selected = 0);

    // The parameter-table entry of a field as the layout uses it (Edit1 is Q in the Q
    // form and the pole otherwise): its range, unit, help and refusal messages.
    const app::Parameter* ParameterOf(const TEditControl& edit) const;

  private:
    TDesign& d_;
    Dialogs& dlg_;

    void ApplyLayout();
    void ResetEntries();
    void UpdateTemplate();
    void UpdateResponse();
    void UpdateList();
    void UpdateButtons();
    void SectionsChanged();
    void Warn(TEditControl* focus, const std::string& text);
    bool ReadField(TEditControl& edit, long double& value);
    std::vector<TEditControl*> VisibleFields();
};

// What "Next" does to the design is the application layer's use-case.
using app::CompleteUserFilter;

} // namespace velmora
