#pragma once

#include <functional>
#include <memory>

// A window that is built the first time it is needed and then kept for the
// rest of the run, so that windows a user may never open cost nothing at
// start-up. Declare it after the window it belongs to, so that it goes first.
template <class T>
class TLazyWindow {
public:
    using Builder = std::function<std::unique_ptr<T>()>;
    explicit TLazyWindow(Builder build) : FBuild(std::move(build)) {}

    T* get() {
        if (!FWindow)
            FWindow = FBuild();
        return FWindow.get();
    }
    bool isBuilt() const { return FWindow != nullptr; }
    // A function that hands out the window, building it at the first call.
    std::function<T*()> provider() {
        return [this] { return get(); };
    }

private:
    Builder FBuild;
    std::unique_ptr<T> FWindow;
};
