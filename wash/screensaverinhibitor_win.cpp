#include "wash/screensaverinhibition.h"

#include <windows.h>

namespace {

// The execution state belongs to the calling thread, so Ask and GiveBack must be called on the
// same thread: the user-interface thread, like everything else in the program.
class ExecutionStateInhibition final : public ScreenSaverInhibition {
public:
    void Ask(const QString &) override
    {
        granted = true;
        SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED);
    }
    void GiveBack() override
    {
        granted = false;
        SetThreadExecutionState(ES_CONTINUOUS);
    }
    bool isGranted() const override { return granted; }

private:
    bool granted = false;
};

} // namespace

std::unique_ptr<ScreenSaverInhibition> MakeScreenSaverInhibition()
{
    return std::make_unique<ExecutionStateInhibition>();
}
