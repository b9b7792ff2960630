// The slider and the status bar: thin objects over the common controls
// "msctls_trackbar32" and "msctls_statusbar32". Each keeps every setting in
// its own fields and hands it to the native window whenever one exists, so a
// setting made before the window is built shows up when it is.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "StdCtrls.h"

enum class TTrackBarOrientation { trHorizontal = 0, trVertical = 1 };
enum class TTickMark { tmBottomRight = 0, tmTopLeft = 1, tmBoth = 2 };
enum class TTickStyle { tsNone = 0, tsAuto = 1, tsManual = 2 };

// A slider. Min <= Position <= Max holds after every change made through the
// properties. OnChange tells of the user's movements only: values set by
// code never raise it.
class TTrackBar : public TWinControl {
public:
    explicit TTrackBar(TComponent* owner);

    TTrackBarOrientation Orientation() const { return orientation_; }
    // Also swaps width and height, so the slider turns in place.
    void SetOrientation(TTrackBarOrientation orientation);
    TTickMark TickMarks() const { return tickMarks_; }
    void SetTickMarks(TTickMark tickMarks);
    TTickStyle TickStyle() const { return tickStyle_; }
    void SetTickStyle(TTickStyle tickStyle);
    int LineSize() const { return lineSize_; }
    void SetLineSize(int lineSize);
    int PageSize() const { return pageSize_; }
    void SetPageSize(int pageSize);
    int Frequency() const { return frequency_; }
    void SetFrequency(int frequency);

    // Min, Max and Position fail with EInvalidOperation, changing nothing,
    // when Max would fall below Min; a position outside the range is pulled
    // to the nearest end.
    int Min() const { return min_; }
    void SetMin(int minimum);
    int Max() const { return max_; }
    void SetMax(int maximum);
    int Position() const { return position_; }
    void SetPosition(int position);

    int SelStart() const { return selStart_; }
    void SetSelStart(int selStart);
    int SelEnd() const { return selEnd_; }
    void SetSelEnd(int selEnd);

    // Raised once for every scroll notification of the native slider, with
    // Position already brought up to date.
    TNotifyEvent OnChange;

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWindowHandle(const TCreateParams& params) override;

private:
    void ApplyRange(int position, int minimum, int maximum);
    void SendSelection();
    void UserMoved();
    // Sends to the native slider; does nothing while it has no window.
    void Send(UINT msg, WPARAM wParam, LPARAM lParam);
    void RecreateIfBuilt();

    TTrackBarOrientation orientation_ = TTrackBarOrientation::trHorizontal;
    TTickMark tickMarks_ = TTickMark::tmBottomRight;
    TTickStyle tickStyle_ = TTickStyle::tsAuto;
    int lineSize_ = 1;
    int pageSize_ = 2;
    int min_ = 0;
    int max_ = 10;
    int frequency_ = 1;
    int position_ = 0;
    int selStart_ = 0;
    int selEnd_ = 0;
};

enum class TStatusPanelBevel { pbNone = 0, pbLowered = 1, pbRaised = 2 };
enum class TStatusPanelStyle { psText = 0, psOwnerDraw = 1 };

class TStatusBar;
class TStatusPanels;

// One part of a status bar. Its index is its place in the bar's panels.
class TStatusPanel : public TObject {
public:
    explicit TStatusPanel(TStatusPanels& collection) : collection_(collection) {}

    int Index() const;
    TStatusPanels& Collection() const { return collection_; }

    const std::string& Text() const { return text_; }
    void SetText(const std::string& text);
    int Width() const { return width_; }
    void SetWidth(int width);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    TStatusPanelBevel Bevel() const { return bevel_; }
    void SetBevel(TStatusPanelBevel bevel);
    TStatusPanelStyle Style() const { return style_; }
    void SetStyle(TStatusPanelStyle style);

    // Copies text, width, alignment, bevel and style, in that order, through the setters.
    void Assign(const TStatusPanel& source);

private:
    // Tells the bar: this panel alone changed, or the division of the whole bar did.
    void Changed(bool wholeBar);

    TStatusPanels& collection_;
    std::string text_;
    int width_ = 50;
    TAlignment alignment_ = TAlignment::taLeftJustify;
    TStatusPanelBevel bevel_ = TStatusPanelBevel::pbLowered;
    TStatusPanelStyle style_ = TStatusPanelStyle::psText;
};

// The panels of a status bar, left to right. Every change reaches the bar at
// once unless it happens between BeginUpdate and EndUpdate; the last
// EndUpdate then re-divides the bar.
class TStatusPanels : public TObject {
public:
    explicit TStatusPanels(TStatusBar& bar) : bar_(bar) {}

    TStatusBar& StatusBar() const { return bar_; }
    int Count() const { return int(items_.size()); }
    // "List index out of bounds" outside 0 .. Count-1.
    TStatusPanel* Items(int index) const;
    TStatusPanel* operator[](int index) const { return Items(index); }
    // Index of panel, or -1 when it is not one of these.
    int IndexOf(const TStatusPanel* panel) const;

    TStatusPanel* Add();
    void Delete(int index);
    void Clear();
    // Makes these panels copies of source's.
    void Assign(const TStatusPanels& source);

    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();

private:
    friend class TStatusPanel;
    // panel nullptr: the whole collection changed.
    void Changed(const TStatusPanel* panel);

    TStatusBar& bar_;
    std::vector<std::unique_ptr<TStatusPanel>> items_;
    int updateCount_ = 0;
};

using TDrawPanelEvent = Event<TStatusBar*, TStatusPanel*, const RECT&>;

// The strip at the bottom of a window, divided into panels.
class TStatusBar : public TWinControl {
public:
    // The native control divides itself into at most this many parts.
    static constexpr int MaxShownPanels = 128;

    explicit TStatusBar(TComponent* owner);

    TStatusPanels& Panels() { return panels_; }
    void SetPanels(const TStatusPanels& panels) { panels_.Assign(panels); }
    // The surface OnDrawPanel paints on; attached only while it runs.
    TCanvas& Canvas() { return canvas_; }

    const std::string& SimpleText() const { return simpleText_; }
    void SetSimpleText(const std::string& text);
    bool SimplePanel() const { return simplePanel_; }
    void SetSimplePanel(bool simple);
    bool SizeGrip() const { return sizeGrip_; }
    void SetSizeGrip(bool sizeGrip);

    // Paints an owner-drawn panel in the given rectangle of Canvas.
    TDrawPanelEvent OnDrawPanel;
    TNotifyEvent OnResize;

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWindowHandle(const TCreateParams& params) override;
    void DefaultHandler(TMessage& message) override;

private:
    friend class TStatusPanels;
    // Re-divides the bar and sends every shown panel's text.
    void UpdateAllPanels();
    std::vector<int> PartEdges() const;
    void SendPartEdges(const std::vector<int>& edges);
    // Gives the native bar the text of a part (or of the simple panel).
    void SendPartText(WPARAM part, const std::string& text);
    void RemeasureParts();
    int ShownPanelCount() const;
    void UpdatePanel(int index);
    void DrawPanel(const DRAWITEMSTRUCT& item);
    // Sends to the native bar; does nothing while it has no window.
    void Send(UINT msg, WPARAM wParam, LPARAM lParam);

    TStatusPanels panels_{*this};
    TCanvas canvas_;
    std::string simpleText_;
    bool simplePanel_ = false;
    bool sizeGrip_ = true;
};
