#pragma once
#include "platform/Platform.h"

// The application: shows the start-up picture, then runs the main window
// until it is closed.
class CToolApp {
public:
    explicit CToolApp(const Platform& platform) : m_platform(platform) {}
    // Returns false: the process ends when the window has been closed.
    bool InitInstance();

private:
    Platform m_platform;
};
