#include "wash/screensaverinhibition.h"

namespace {

// No screen-saver service is known on this platform: nothing is asked.
class NoInhibition final : public ScreenSaverInhibition {
public:
    void Ask(const QString &) override { granted = true; }
    void GiveBack() override { granted = false; }
    bool isGranted() const override { return granted; }

private:
    bool granted = false;
};

} // namespace

std::unique_ptr<ScreenSaverInhibition> MakeScreenSaverInhibition()
{
    return std::make_unique<NoInhibition>();
}
