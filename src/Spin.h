// The spin edit: a numeric edit with up and down arrows at its right edge
// that step its value, repeating while an arrow is held.
#pragma once

#include <windows.h>

#include <memory>

#include "Buttons.h"
#include "StdCtrls.h"

enum TTimeBtnStateFlag : unsigned { rfFocusRect = 1, rfAllowRepeat = 2 };
using TTimeBtnState = unsigned;

// A speed button that repeats its click while it is held: after 400 ms, then every 100 ms.
class TTimerSpeedButton : public TSpeedButton {
public:
    explicit TTimerSpeedButton(TComponent* owner);
    ~TTimerSpeedButton() override;

    TTimeBtnState RepeatFlags() const { return repeatFlags_; }
    void SetRepeatFlags(TTimeBtnState flags) { repeatFlags_ = flags; }
    // Milliseconds of the running repeat period; 0 while not repeating.
    unsigned RepeatInterval() const;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    class RepeatTimer;
    void RepeatTick();
    void StopRepeat();

    std::unique_ptr<RepeatTimer> repeatTimer_;
    TTimeBtnState repeatFlags_ = 0;
};

// Two arrows, one above the other, raising OnUpClick and OnDownClick.
class TSpinButton : public TWinControl {
public:
    explicit TSpinButton(TComponent* owner);
    ~TSpinButton() override;

    TTimerSpeedButton* UpButton() const { return upButton_; }
    TTimerSpeedButton* DownButton() const { return downButton_; }
    // The arrow the space key clicks and that shows the focus rectangle.
    TTimerSpeedButton* FocusedArrow() const { return focusedArrow_; }
    TBitmap& UpGlyph() { return upButton_->Glyph(); }
    // nullptr gives the arrow its own picture back.
    void SetUpGlyph(const TBitmap* glyph);
    TBitmap& DownGlyph() { return downButton_->Glyph(); }
    void SetDownGlyph(const TBitmap* glyph);
    // The control that takes the keyboard focus when an arrow is pressed (not owned).
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* control);

    void SetBounds(int left, int top, int width, int height) override;
    void WndProc(TMessage& message) override;

    TNotifyEvent OnUpClick;
    TNotifyEvent OnDownClick;

protected:
    void CreateParams(TCreateParams& params) override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    TTimerSpeedButton* MakeArrow();
    void SetArrowGlyph(TTimerSpeedButton* arrow, const TBitmap* glyph, const char* resourceName);
    void AdjustArrows(int& width, int& height);
    void FocusArrow(TTimerSpeedButton* arrow);
    void ShowFocusRect(bool show);
    bool HandleKey(WPARAM key);
    void ArrowMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void ArrowClick(TObject* sender);

    TTimerSpeedButton* upButton_ = nullptr;
    TTimerSpeedButton* downButton_ = nullptr;
    TTimerSpeedButton* focusedArrow_ = nullptr;
    TWinControl* focusControl_ = nullptr;
};

// A one-line edit holding a whole number, stepped with its arrows or the
// up and down keys and kept between MinValue and MaxValue.
class TSpinEdit : public TEdit {
public:
    explicit TSpinEdit(TComponent* owner);
    ~TSpinEdit() override;

    int MinValue() const { return minValue_; }
    void SetMinValue(int value) { minValue_ = value; }
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value) { maxValue_ = value; }
    int Increment() const { return increment_; }
    void SetIncrement(int increment) { increment_ = increment; }
    // Off: the number can only be stepped, not typed.
    bool EditorEnabled() const { return editorEnabled_; }
    void SetEditorEnabled(bool enabled) { editorEnabled_ = enabled; }
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool autoSelect) { autoSelect_ = autoSelect; }
    TSpinButton* SpinButton() const { return spinButton_; }

    // The number in the text; MinValue when the text is not a number.
    int Value();
    void SetValue(int value);
    // value limited to MinValue .. MaxValue; equal limits mean no limit.
    int ClampValue(int value) const;
    // The least height that shows a line of the font without clipping.
    int MinimumHeight();

    virtual void UpClick(TObject* sender);
    virtual void DownClick(TObject* sender);

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWindowHandle(const TCreateParams& params) override;
    void TextChanged() override;

private:
    void Step(long long delta);
    bool AcceptsChar(wchar_t c) const;
    void Resized();
    void FitEditArea();

    int minValue_ = 0;
    int maxValue_ = 0;
    int increment_ = 1;
    TSpinButton* spinButton_ = nullptr;
    bool editorEnabled_ = true;
    bool autoSelect_ = true;
    bool pressedByMouse_ = false;
};
