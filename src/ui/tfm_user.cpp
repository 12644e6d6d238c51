#include "ui/tfm_user.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/frequency_response.h"
#include "analysis/graph_axes.h"
#include "analysis/ideal_filter.h"
#include "analysis/ideal_responses.h"
#include "app/messages.h"
#include "app/parameters.h"
#include "approx/approximation.h"
#include "model/number_text.h"
#include "ui/graph_painter.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;
constexpr int kFieldChars = 8; // the entered texts are kept in 8-character strings
constexpr int kGainChars = 5;
constexpr const char* kSquared = "\xC2\xB2"; // ²

constexpr int kFirst = 0, kSecond = 1;
constexpr int kQMode = 0, kPoleMode = 1;
constexpr int kLowpass = 0, kHighpass = 1, kBandpass = 2, kBandstop = 3;

} // namespace

TfmUser::TfmUser(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {
    auto edit = [](const char* name, int maxLength) {
        TEditControl e;
        e.Name = name;
        e.MaxLength = maxLength;
        return e;
    };
    Edit1 = edit("Edit1", kFieldChars);
    Edit2 = edit("Edit2", kFieldChars);
    Edit3 = edit("Edit3", kFieldChars);
    Edit4 = edit("Edit4", kFieldChars);
    EditTo = edit("EditTo", kGainChars);
    EditTo.Label = "To =";
    EditTo.Text = std::string(app::ParameterNamed("section-to").defaultValue);
    ApplyLayout();
}

// ---- Layout ---------------------------------------------------------------------------------

// Which fields a section needs: first order reads p; the Q form reads Q, wp and (for a
// bandstop) wz; the pole form reads the real part, the imaginary part and (bandstop)
// the zero on the imaginary axis. "To =" is always there.
void TfmUser::ApplyLayout() {
    const bool hz = d_.Opt.FreqUnitsHz != 0;
    const bool first = UserSectionOrder == kFirst;
    const bool bandstop = SectionType == kBandstop;
    UnitCaption = hz ? "  Hz  " : " rad/s ";

    TypeEnabled = {true, true, !first, !first};
    QModeEnabled = !first;
    PoleModeCaption = first ? " pole" : bandstop ? " poles,zeros" : " poles";

    Edit2.Visible = Edit3.Visible = Edit4.Visible = false;
    Edit2.Label = Edit3.Label = Edit4.Label = "";
    if (first) {
        Edit1.Label = "p = -";
    } else if (UserEntryMode == kQMode) {
        Edit1.Label = "Q =";
        Edit2.Label = hz ? "fp=" : "wp=";
        Edit2.Visible = true;
        Edit3.Label = hz ? "fz=" : "wz=";
        Edit3.Visible = bandstop;
    } else {
        Edit1.Label = "p = -";
        Edit2.Label = "z = +/-j";
        Edit2.Visible = bandstop;
        Edit4.Label = "+/- j";
        Edit4.Visible = true;
    }
    UpdateTemplate();
}

void TfmUser::UpdateTemplate() {
    const bool hz = d_.Opt.FreqUnitsHz != 0;
    const std::string w = hz ? "fp" : "wp";
    const std::string z = hz ? "fz" : "wz";
    const std::string sq = kSquared;
    Template = TUserTemplate{};
    if (UserSectionOrder == kFirst) {
        Template.Numerator = SectionType == kHighpass ? "To s" : "-To p";
        Template.Denominator = "(s - p)";
        return;
    }
    if (UserEntryMode == kPoleMode) {
        static const std::array<std::string, 4> numerators = {"To pp*", "To s\xC2\xB2", "-To (p + p*)s",
                                                              "To (s - z) (s - z*)"};
        Template.Numerator = numerators[SectionType];
        Template.Denominator = "(s - p) (s - p*)";
        return;
    }
    Template.Denominator = "(s" + sq + " + (" + w + "/Q)s + " + w + sq + ")";
    switch (SectionType) {
    case kLowpass:
        Template.Numerator = "To " + w + sq;
        break;
    case kHighpass:
        Template.Numerator = "To s" + sq;
        break;
    case kBandpass:
        Template.Numerator = "To (" + w + "/Q)s";
        break;
    default:
        Template.Numerator = "To (s" + sq + " + " + z + sq + ")";
        break;
    }
}

// The first field is emptied and the gain goes back to its default whenever the kind of
// section changes, because their meaning changes with it.
void TfmUser::ResetEntries() {
    Edit1.Text.clear();
    EditTo.Text = std::string(app::ParameterNamed("section-to").defaultValue);
}

void TfmUser::FrequencyUnitChanged() {
    ApplyLayout();
    UpdateResponse();
}

// ---- Section order, type and entry mode --------------------------------------------------

void TfmUser::RadioGroup1Click(int order) {
    if (order == kFirst && !FirstEnabled) return;
    UserSectionOrder = order == kFirst ? kFirst : kSecond;
    if (UserSectionOrder == kFirst) {
        // A first-order section is a real pole: only the pole form applies, and only a
        // lowpass or highpass exists.
        UserEntryMode = kPoleMode;
        SectionType = kLowpass;
    } else {
        UserEntryMode = kQMode;
    }
    ResetEntries();
    ApplyLayout();
}

void TfmUser::RadioGroup2Click(int type) {
    if (type < kLowpass || type > kBandstop || !TypeEnabled[type]) return;
    SectionType = type;
    ResetEntries();
    ApplyLayout();
}

void TfmUser::RadioGroup3Click(int mode) {
    if (mode == kQMode && !QModeEnabled) return;
    UserEntryMode = mode == kQMode ? kQMode : kPoleMode;
    ResetEntries();
    ApplyLayout();
}

// ---- List and buttons -------------------------------------------------------------------

void TfmUser::UpdateList() {
    ListLines.clear();
    for (int i = 1; i <= d_.StageCount; ++i)
        ListLines.push_back(app::UserSectionListLine(d_, i));
    if (ItemIndex >= static_cast<int>(ListLines.size())) ItemIndex = -1;
}

void TfmUser::UpdateButtons() {
    const int n = d_.StageCount;
    OrderCaption = " Filter order = " + std::to_string(d_.Approx[0].Result.Order);
    DeleteEnabled = ItemIndex >= 0;
    UpEnabled = ItemIndex > 0;
    DownEnabled = ItemIndex >= 0 && ItemIndex < n - 1;
    BitBtn1Enabled = n > 0;
    // A filter has at most two first-order sections; Add refuses a third in any case,
    // this only keeps the button from offering it.
    FirstEnabled = !d_.Approx[0].Result.HasRealPole2;
}

void TfmUser::UpdateResponse() {
    Response = UserMagnitudeResponse(d_, ResponseAxis);
}

std::vector<TUserResponsePoint> UserMagnitudeResponse(const TDesign& d, FrequencyAxis& axis) {
    std::vector<TUserResponsePoint> response;
    if (d.StageCount < 1) return response;
    axis = UsableFrequencyAxis(DefaultFrequencyAxis(d));
    const IdealFilter f = IdealFilterOf(d, 0);
    const long double G = d.Spec.OverallGain;
    for (int i = 0; i <= kResponseIntervals; ++i) {
        TUserResponsePoint p;
        p.X = AxisFrequency(axis, i);
        p.W = ToRadPerSecond(axis, p.X);
        p.GainDb = GainToDb(IdealMagnitude(f, G, p.W));
        response.push_back(p);
    }
    return response;
}

void PaintUserTemplate(DrawingSurface& s, const TUserTemplate& t) {
    const double W = s.Width(), H = s.Height();
    s.SetBrush(colors::White);
    s.FillRect(0, 0, W, H);
    s.SetFont("Arial", std::clamp(H / 5.0, 10.0, 15.0));
    s.SetTextColor(colors::Text);
    const double lineH = s.TextHeight(t.Prefix), mid = H / 2;
    const double x0 = 8;
    s.TextOut(x0, mid - lineH / 2, t.Prefix);
    const double x1 = x0 + s.TextWidth(t.Prefix) + 4;
    const double width = std::max(s.TextWidth(t.Numerator), s.TextWidth(t.Denominator)) + 8;
    s.TextOut(x1 + (width - s.TextWidth(t.Numerator)) / 2, mid - lineH - 2, t.Numerator);
    s.SetPen(colors::Text, 1);
    s.Line(x1, mid, x1 + width, mid);
    s.TextOut(x1 + (width - s.TextWidth(t.Denominator)) / 2, mid + 2, t.Denominator);
}

void TfmUser::Paint(DrawingSurface& surface) const {
    PaintCurveGraph(surface, UserMagnitudeGraph(Response, ResponseAxis, d_.Opt.FreqUnitsHz != 0));
}

CurveGraph UserMagnitudeGraph(const std::vector<TUserResponsePoint>& response, const FrequencyAxis& axis,
                              bool hz) {
    CurveGraph g;
    g.Title = "Magnitude response";
    g.XCaption = hz ? "Log Frequency  (Hz)" : "Log Frequency  (rad/s)";
    g.YCaption = "Gain (dB)";
    g.Freq = FrequencyAxis{1, 1000, true, hz, 0};
    g.Value = NiceRange(-40, 0);
    if (!response.empty()) {
        g.Freq = axis;
        g.XCaption = std::string(axis.Log ? "Log " : "") + "Frequency  (" + (hz ? "Hz" : "rad/s") + ")";
        // From 10 dB above the highest gain down 60 dB below it: deep notches run off the
        // bottom rather than squeezing the passband into a line.
        long double top = -400;
        for (const TUserResponsePoint& p : response)
            top = std::max(top, p.GainDb);
        const long double hi = std::ceil(top / 10) * 10 + 10;
        g.Value = NiceRange(hi - 70, hi);
        Curve c{"User defined", ApproximationColor(0), PenStyle::Solid, {}};
        for (const TUserResponsePoint& p : response)
            c.Points.push_back({p.X, p.GainDb});
        g.Curves.push_back(std::move(c));
    }
    return g;
}

// A change of the sections: the later steps no longer describe the filter, so they are
// rebuilt once the user goes on ("Next" sets level 2).
void TfmUser::SectionsChanged() {
    MarkStepChanged(d_);
    if (d_.DesignLevel > LevelApproximations) d_.DesignLevel = LevelApproximations;
    UpdateList();
    UpdateButtons();
    UpdateResponse();
    if (OnSectionsChanged) OnSectionsChanged();
}

void TfmUser::FormShow() {
    UserSectionOrder = kSecond;
    SectionType = kLowpass;
    UserEntryMode = kQMode;
    for (TEditControl* e : {&Edit1, &Edit2, &Edit3, &Edit4})
        e->Text.clear();
    EditTo.Text = std::string(app::ParameterNamed("section-to").defaultValue);
    ItemIndex = -1;
    UpdateList();
    UpdateButtons();
    ApplyLayout();
    UpdateResponse();
    Focus = Edit1.Name;
    Visible = true;
}

// ---- Add ---------------------------------------------------------------------------------

EntryKey TfmUser::KeyPress(TEditControl& edit, char key, int selected) {
    const EntryKey k = ClassifyEntryKey(edit, key, EntryKind::Decimal, selected);
    if (k == EntryKey::Refused) dlg_.Beep();
    if (k == EntryKey::MoveOn) Focus = NextFocus({&Edit1, &Edit2, &Edit3, &Edit4, &EditTo}, edit.Name);
    return k;
}

void TfmUser::Warn(TEditControl* focus, const std::string& text) {
    dlg_.Beep();
    if (focus) Focus = focus->Name;
    dlg_.Message(MessageKind::Warning, text);
}

std::vector<TEditControl*> TfmUser::VisibleFields() {
    std::vector<TEditControl*> fields;
    for (TEditControl* e : {&Edit1, &Edit2, &Edit3, &Edit4, &EditTo})
        if (e->Visible) fields.push_back(e);
    return fields;
}

// A field must hold a positive decimal number that fits it. "0", "0.0" or "00" mean
// zero and are refused as such; an empty, negative or unreadable text is not a number.
bool TfmUser::ReadField(TEditControl& edit, long double& value) {
    long double v = 0;
    if (static_cast<int>(edit.Text.size()) > edit.MaxLength || !ParseDecimal(edit.Text, v)) {
        Warn(&edit, "Invalid Number.");
        return false;
    }
    if (v == 0.0L) {
        Warn(&edit, app::UserAddMessage(UserAddStatus::NotPositive));
        return false;
    }
    value = v;
    return true;
}

const app::Parameter* TfmUser::ParameterOf(const TEditControl& edit) const {
    const bool qForm = UserSectionOrder == kSecond && UserEntryMode == kQMode;
    const char* name = nullptr;
    if (&edit == &Edit1) name = qForm ? "section-q" : "section-p";
    if (&edit == &Edit2) name = qForm ? "section-fp" : "section-fz";
    if (&edit == &Edit3) name = "section-fz";
    if (&edit == &Edit4) name = "section-im";
    if (&edit == &EditTo) name = "section-to";
    return name ? &app::ParameterNamed(name) : nullptr;
}

void TfmUser::AddBtnClick() {
    const int order = UserSectionOrder == kFirst ? 1 : 2;
    if (const UserAddStatus room = CheckUserCapacity(d_, order); room != UserAddStatus::Ok) {
        Warn(nullptr, app::UserAddMessage(room));
        return;
    }

    // Every visible field is read in order, first to fourth and then the gain; the first
    // one that is not a positive number is reported and takes the focus. Then each value
    // is held against its range in the parameter table, in the same order, so that a Q
    // or a gain out of range names its own field. The section check that follows sees
    // what only the whole section decides (the Q and frequency of a pole pair given by
    // its position, the overall gain).
    std::vector<std::pair<TEditControl*, long double>> entered;
    for (TEditControl* e : VisibleFields()) {
        long double v = 0;
        if (!ReadField(*e, v)) return;
        entered.emplace_back(e, v);
    }
    const bool hz = d_.Opt.FreqUnitsHz != 0;
    for (const auto& [e, v] : entered) {
        const app::Parameter& p = *ParameterOf(*e);
        const long double inTableUnit = p.kind == app::ParameterKind::Frequency && !hz ? v / kTwoPi : v;
        if (!app::WithinRange(p, inTableUnit)) {
            Warn(e, app::OutOfRangeMessage(p, !(inTableUnit > p.high), e->Text, e->Label));
            return;
        }
    }

    UserSection u;
    u.Order = order;
    u.Kind = static_cast<UserSectionKind>(order == 1 ? (SectionType == kHighpass ? kHighpass : kLowpass)
                                                     : SectionType);
    u.Mode = order == 1 || UserEntryMode == kPoleMode ? UserEntryMode::Poles : UserEntryMode::QWpWz;
    for (const auto& [e, entry] : entered) {
        const app::Parameter& p = *ParameterOf(*e);
        const long double v = p.kind == app::ParameterKind::Frequency && hz ? entry * kTwoPi : entry;
        if (p.name == "section-q") u.Q = v;
        if (p.name == "section-p") (order == 1 ? u.P : u.Re) = v;
        if (p.name == "section-fp") u.Wp = v;
        if (p.name == "section-fz") u.Wz = v;
        if (p.name == "section-im") u.Im = v;
        if (p.name == "section-to") u.To = v;
    }

    TUserBlock texts;
    texts.EntryMode = static_cast<uint8_t>(u.Mode);
    texts.Texts = {Edit1.Visible ? Edit1.Text : "", Edit2.Visible ? Edit2.Text : "",
                   Edit3.Visible ? Edit3.Text : "", Edit4.Visible ? Edit4.Text : "", EditTo.Text};
    const UserAddStatus status = AddUserSection(d_, u, texts);
    if (status != UserAddStatus::Ok) {
        Warn(nullptr, app::UserAddMessage(status));
        return;
    }

    ItemIndex = d_.StageCount - 1;
    SectionsChanged();
    // With two real poles no further first-order section is possible: the form goes
    // back to second order.
    if (order == 1 && d_.Approx[0].Result.HasRealPole2) {
        FirstEnabled = false;
        RadioGroup1Click(kSecond);
    }
}

// ---- Delete, select, move ----------------------------------------------------------------

void TfmUser::DeleteBtnClick() {
    if (ItemIndex < 0 || ItemIndex >= d_.StageCount) return;
    DeleteUserSection(d_, ItemIndex + 1);
    ItemIndex = -1;
    SectionsChanged();
}

void TfmUser::ListBox1Click(int index) {
    if (index < 0 || index >= d_.StageCount) return;
    ItemIndex = index;
    const TStageCoeffs& s = d_.Stages[index + 1];
    const TUserBlock& texts = d_.UserBlocks[index + 1];
    UserSectionOrder = UserSectionOrderOf(s) == 1 ? kFirst : kSecond;
    SectionType = static_cast<int>(UserSectionKindOf(s));
    UserEntryMode = UserSectionOrder == kFirst || texts.EntryMode == kPoleMode ? kPoleMode : kQMode;
    ApplyLayout();
    TEditControl* fields[] = {&Edit1, &Edit2, &Edit3, &Edit4, &EditTo};
    for (int k = 0; k < 5; ++k)
        fields[k]->Text = texts.Texts[k];
    UpdateButtons();
    UpdateResponse();
}

void TfmUser::UpBtnClick() {
    if (ItemIndex < 1 || ItemIndex >= d_.StageCount) return;
    SwapUserSections(d_, ItemIndex + 1, ItemIndex);
    --ItemIndex;
    SectionsChanged();
}

void TfmUser::DownBtnClick() {
    if (ItemIndex < 0 || ItemIndex >= d_.StageCount - 1) return;
    SwapUserSections(d_, ItemIndex + 1, ItemIndex + 2);
    ++ItemIndex;
    SectionsChanged();
}

// ---- Next --------------------------------------------------------------------------------

void TfmUser::BitBtn1Click() {
    if (!BitBtn1Enabled || d_.StageCount < 1) return;
    app::CompleteUserFilter(d_);
    Visible = false;
    if (OnNext) OnNext();
}

} // namespace velmora
