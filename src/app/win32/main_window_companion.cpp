// The main window's reading companion: serving lines to browser pages, and
// its dialog.
#include "app/win32/main_window.h"
#include "companion/win32/companion_dialog.h"
#include "common/text.h"

#include <string>

namespace kx::win32 {
namespace {

std::optional<CompanionServer::Address> AddressOf(const CompanionSettings& settings)
{
    if (!settings.EnabledOn() || settings.Port < 1 || settings.Port > 65535)
        return std::nullopt;
    return CompanionServer::Address{static_cast<std::uint16_t>(settings.Port), settings.LanOn()};
}

} // namespace

void MainWindow::CreateCompanionDialog()
{
    companionDialog_ = std::make_unique<CompanionDialog>(instance_);
    companionDialog_->Create(window_);
}

void MainWindow::StartCompanion()
{
    CompanionServer& companion = capture_->Companion();
    const std::optional<CompanionServer::Address> before = companion.Serving();
    const std::u16string failure = companion.Serve(AddressOf(settings_.Companion));
    if (!failure.empty()) {
        capture_->Pipeline().AddProgramLine(failure);
        return;
    }
    const std::optional<CompanionServer::Address> now = companion.Serving();
    if (now && now != before)
        capture_->Pipeline().AddProgramLine(u"Reading companion: http://127.0.0.1:" + Widen(std::to_string(now->port)) +
                                            u"/" + (now->everyAddress ? u", open to this network" : u""));
}

void MainWindow::ReadingCompanion1Click()
{
    const CompanionSettings before = settings_.Companion;
    const std::optional<CompanionSettings> edited =
        companionDialog_->Edit(before, [this, before](const CompanionSettings& tried) {
            const std::u16string failure = capture_->Companion().Serve(AddressOf(tried));
            if (!failure.empty()) {
                capture_->Pipeline().AddProgramLine(failure);
                capture_->Companion().Serve(AddressOf(before));  // as it was until the dialog says OK
            }
            return failure;
        });
    if (!edited)
        return;
    const AppSettings all = settings_;
    settings_.Companion = *edited;
    TakeSettingsChanges(all);
}

} // namespace kx::win32
