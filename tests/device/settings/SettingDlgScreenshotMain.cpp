// Renders the settings dialog offscreen in English and in Korean, with a sample card file,
// to settings-dialog-en.png and settings-dialog-ko.png in the given folder (default: here),
// and the card format dialog over it, asking (format-dialog-LANG.png) and running
// (format-dialog-running-LANG.png).
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>
#include <filesystem>

#include "device/CFormatDialog.h"
#include "support/StringTable.h"
#include "tests/device/settings/SettingsTestSupport.h"

namespace {

bool Save(QWidget& widget, const QString& file) {
    widget.adjustSize();
    QApplication::processEvents();
    if (!widget.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(file), widget.width(), widget.height());
    return true;
}

// A 32 GB card in a USB reader, as UDisks2 describes one.
CardFormatFacts SampleCard(const std::string& mountPoint) {
    CardFormatFacts facts;
    facts.volume.vendor = "Generic";
    facts.volume.model = "STORAGE DEVICE";
    facts.volume.device = "/dev/sdb1";
    facts.volume.label = "K310VZN";
    facts.volume.fileSystem = "vfat";
    facts.volume.sizeBytes = 31914983424ull;
    facts.mountPoint = mountPoint;
    facts.recordings = 412;
    facts.recordingBytes = 28741632000ull;
    return facts;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const std::filesystem::path card = std::filesystem::path(out.toStdString()) / "screenshot-card";
    const std::filesystem::path config = card / "SETTING" / "blackbox.cfg";
    settingstest::WriteAll(config,
                           "[capacity]\r\nconst=50\r\npark=15\r\nevent=20\r\nmanual=10\r\n"
                           "[blackbox]\r\npower_off_vlt=11800\r\nmic_in=1\r\nmic_volume=3\r\n"
                           "voice_out=0\r\nvoice_volume=4\r\nacc_level=3\r\nmotion_level=2\r\n"
                           "brightness=5\r\ncontrast=5\r\nversion=1.02.03\r\nmodel=K310VZN\r\n");
    CSettingDlg::SetLocalTimeSource(settingstest::MarchSeventh2014);
    for (auto [language, name] : {std::pair{kLangEnglish, "en"}, std::pair{kLangKorean, "ko"}}) {
        g_wLanguage = language;
        CSettingDlg dlg(nullptr, config.string(), card.string());
        dlg.show();
        if (!Save(dlg, out + QStringLiteral("/settings-dialog-%1.png").arg(name))) return 1;

        CFormatDialog format(&dlg, SampleCard("/media/me/K310VZN"));
        format.show();
        if (!Save(format, out + QStringLiteral("/format-dialog-%1.png").arg(name))) return 1;
        format.ShowRunning();
        if (!Save(format, out + QStringLiteral("/format-dialog-running-%1.png").arg(name)))
            return 1;
        format.hide();
    }
    return 0;
}
