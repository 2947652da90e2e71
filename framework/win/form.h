// A top-level window with the events of a form: load (on the first show), activate (once, when
// the window first becomes active), unload (when the user closes it). Creation of the object and
// its initialise event belong to the concrete form.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/win/window.h"

namespace fw {

class Form : public Window {
  public:
    bool Loaded() const { return Hwnd() != nullptr; }

    // Creates the window hidden with its controls, then runs the load event. Once; later calls
    // do nothing. Raises PlatformCallFailed on failure. Window thread.
    void Load();

    // Loads on first use, makes the window visible and active and returns; the activate event
    // runs from the next event pump. Window thread.
    void ShowModeless();

    // Shows the window and serves its events until it has been closed. Window thread.
    void ShowModal();

    std::wstring Caption() const { return Text(); }
    void SetCaption(const std::wstring& caption) { SetText(caption); }

    // Windows in tab-index order; Tab and Shift+Tab move the focus among those that can take it
    // (visible, enabled, WS_TABSTOP).
    void SetTabOrder(std::vector<HWND> order) { tabOrder_ = std::move(order); }
    // Moves the focus to the next (or previous) window of the tab order that can take it.
    void TabToNext(bool backwards);

    // The form of one of its windows (the form itself or any control in it), or null.
    static Form* Of(HWND hwnd);

  protected:
    // A form whose client area measures `clientWidth` x `clientHeight` pixels.
    Form(int clientWidth, int clientHeight);

    // Creates the controls (the window exists, hidden); called by Load.
    virtual void CreateControls() = 0;
    virtual void OnLoad() {}
    virtual void OnActivate() {}
    // Runs when the user closes the window; setting `cancel` to non-zero keeps it open.
    virtual void OnUnload(int& cancel) { (void)cancel; }

  private:
    enum class Activation { NotYet, Pending, Done };

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnActivateMessage(WORD state);
    void OnActivateEvent();
    void OnClose();
    void RequestActivateEvent();
    void FocusFirstTabStop();

    int clientWidth_;
    int clientHeight_;
    Activation activation_ = Activation::NotYet;
    HWND lastFocus_ = nullptr;
    std::vector<HWND> tabOrder_;
};

}  // namespace fw
