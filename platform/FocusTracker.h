#pragma once

#include "WindowSystem.h"

#include <functional>
#include <optional>

/// The application that has the focus, or nothing when the focus cannot be known at all.
using FocusedApplication = std::optional<WindowApplication>;

/// Follows which application has the keyboard focus. Lives on the thread that made it (the one with
/// the event loop) and is used only there.
class FocusTracker
{
public:
    /// Called on the tracker's thread after the focused application changed.
    using ChangeHandler = std::function<void()>;

    virtual ~FocusTracker() = default;

    /// False when the focus cannot be known (no X server; uinput on Wayland or the console).
    virtual bool isAvailable() const = 0;
    /// The application in focus now; nothing when the tracker is not available.
    virtual FocusedApplication focusedApplication() = 0;

    void setChangeHandler(ChangeHandler handler) { m_changeHandler = std::move(handler); }

protected:
    void notifyChanged() const
    {
        if (m_changeHandler) {
            m_changeHandler();
        }
    }

private:
    ChangeHandler m_changeHandler;
};

/// Where no focus can be known.
class NoFocusTracker : public FocusTracker
{
public:
    bool isAvailable() const override { return false; }
    FocusedApplication focusedApplication() override { return std::nullopt; }
};

/// Focus told by its owner rather than read from a desktop: for tests and dry runs.
class ManualFocusTracker : public FocusTracker
{
public:
    bool isAvailable() const override { return true; }
    FocusedApplication focusedApplication() override { return m_application; }

    /// Reports a change only when the application differs from the one before.
    void setFocusedApplication(const WindowApplication& application)
    {
        if (application != m_application) {
            m_application = application;
            notifyChanged();
        }
    }

private:
    WindowApplication m_application;
};
