#include "app/CommandLine.h"
#include "app/FormMain.h"
#include "app/WidgetMessageBoxes.h"
#include "info/FormKVInfo.h"
#include "platform/Platform.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "settings/FormOptions.h"
#include "snippets/FormTextbausteine.h"
#include "groups/FormGroups.h"

#include <QApplication>
#include <QFile>

#include <exception>

namespace {

// The visual style "Korvel2014 Light"; when it cannot be applied the system look stays.
void applyVisualStyle(QApplication& app) {
    QFile file(QStringLiteral(":/palavero/korvel2014-light.qss"));
    if (file.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(file.readAll()));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    TSingleInstance instance;
    if (!instance.tryBecomePrimary()) {
        instance.sendShowRequest();
        return 0;
    }

    try {
        applyVisualStyle(app);
        std::unique_ptr<TPlatform> platform = CreatePlatform();
        TWidgetMessageBoxes boxes;
        const TCommandLine commandLine = TCommandLine::parse(app.arguments().mid(1));

        // The windows, in this order; all live until the program ends.
        TFormMain formMain(*platform, boxes, commandLine);
        TFormOptions formOptions(*platform->autostart, boxes, platform->systemInfo->executablePath());
        TFormTextbausteine formTextbausteine;
        TFormGroups formGroups;
        TFormNewGroup formNewGroup;
        TFormKVInfo formKVInfo(*platform->desktop, &formMain);
        formMain.setDialogs(&formOptions, &formKVInfo);

        QObject::connect(&instance, &TSingleInstance::showRequested, &formMain, &TFormMain::WMShowRequest);
        TTerminationSignals termination;
        QObject::connect(&termination, &TTerminationSignals::terminationRequested, &formMain,
                         &TFormMain::Beenden1Click);
        QObject::connect(&formMain, &TFormMain::closing, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        if (platform->sessionMonitor) {
            QObject::connect(platform->sessionMonitor.get(), &TSessionMonitor::sessionEnding, &formMain,
                             [&formMain] { formMain.setStatusText(QStringLiteral("Sending Logout Message")); });
        }
        return app.exec();
    } catch (const std::exception& e) {
        TWidgetMessageBoxes().show(QString::fromLocal8Bit(e.what()), IMessageBoxes::Icon::Error, QString());
    } catch (...) {
        TWidgetMessageBoxes().show(QStringLiteral("Unbekannter Fehler."), IMessageBoxes::Icon::Error, QString());
    }
    return 0;
}
