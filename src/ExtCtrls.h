// Panels, shapes and images.
#pragma once

#include "Controls.h"
#include "StdCtrls.h"

enum class TPanelBevel { bvNone, bvLowered, bvRaised };

// A raised box that holds other controls, with a centred caption.
class TPanel : public TCustomControl {
public:
    explicit TPanel(TComponent* owner);
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel bevel);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel bevel);

protected:
    void Paint() override;

private:
    TPanelBevel bevelOuter_ = TPanelBevel::bvRaised;
    TPanelBevel bevelInner_ = TPanelBevel::bvNone;
};

enum class TShapeType { stRectangle, stSquare, stRoundRect, stEllipse };

// A rectangle (or other figure) drawn with a brush and a pen.
class TShape : public TGraphicControl {
public:
    explicit TShape(TComponent* owner);
    TBrush& Brush() { return brush_; }
    TPen& Pen() { return pen_; }
    TShapeType Shape() const { return shape_; }
    void SetShape(TShapeType shape);

protected:
    void Paint() override;

private:
    void StyleChanged(TObject* sender);
    TBrush brush_;
    TPen pen_;
    TShapeType shape_ = TShapeType::stRectangle;
};

// Shows an icon.
class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* owner) : TGraphicControl(owner) {}
    TIcon& Icon() { return icon_; }

protected:
    void Paint() override;

private:
    TIcon icon_;
};

// A hidden window of class "TPUtilWindow" whose messages go to a handler.
class TUtilWindow {
public:
    using Handler = void (*)(void* owner, TMessage& message);
    TUtilWindow(void* owner, Handler handler);
    ~TUtilWindow();
    TUtilWindow(const TUtilWindow&) = delete;
    TUtilWindow& operator=(const TUtilWindow&) = delete;
    HWND Handle() const { return window_.Get(); }

private:
    static LRESULT CALLBACK Route(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    void* owner_;
    Handler handler_;
    UniqueWindow window_;
};

// Raises OnTimer every Interval milliseconds on the main thread, through a
// system timer on a hidden window. It runs only while Interval is not 0,
// Enabled is set and OnTimer is assigned.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned interval);
    const TNotifyEvent& OnTimer() const { return onTimer_; }
    // Assigning the handler restarts the period, also when it is the same one.
    void SetOnTimer(const TNotifyEvent& handler);
    template <auto Method, typename T>
    void BindOnTimer(T* object) {
        TNotifyEvent handler;
        handler.template Bind<Method>(object);
        SetOnTimer(handler);
    }
    // The system timer is running.
    bool Running() const { return running_; }
    HWND WindowHandle() const { return window_.Handle(); }

protected:
    virtual void Timer();

private:
    static void Dispatch(void* self, TMessage& message);
    void UpdateTimer();

    bool enabled_ = true;
    unsigned interval_ = 1000;
    TUtilWindow window_;
    TNotifyEvent onTimer_;
    bool running_ = false;
};
