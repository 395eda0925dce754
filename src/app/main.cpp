#include "app/CommandLine.h"
#include "app/DisplayPlatform.h"
#include "app/FocusFrameStyle.h"
#include "app/VisualStyle.h"
#include "app/LazyWindow.h"
#include "app/FormMain.h"
#include "app/ModalWindows.h"
#include "app/WidgetMessageBoxes.h"
#include "cli/Headless.h"
#include "info/FormKVInfo.h"
#include "info/Pictures.h"
#include "messages/ScriptSend.h"
#include "platform/Platform.h"
#include "settings/FormOptions.h"
#include "snippets/FormTextbausteine.h"
#include "groups/FormGroups.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QMenu>
#include <QTranslator>

#include <cstdio>
#include <exception>

namespace {

Q_LOGGING_CATEGORY(lcDisplay, "palavero.display", QtInfoMsg)

// The visual style "Korvel2014 Light"; when it cannot be applied the system look stays.
TVisualStyle* applyVisualStyle(QApplication& app) {
    app.setStyle(new TFocusFrameStyle);
    return new TVisualStyle(app, Pictures::styleSheet());
}

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// A message handed over by a script (palavero --send), sent by the main window's sender.
TSingleInstance::TMessageReply sendFromScript(TFormMain& formMain, const QByteArray& recipient,
                                              const QByteArray& text) {
    const TScriptSendResult result = formMain.messageSender().SendFromScript(recipient, text);
    return {result.sent, result.errors.join(QLatin1Char('\n'))};
}

} // namespace

int main(int argc, char** argv) {
    // --help, --version, --send, --listen and a wrong command line run without
    // a window and need no display.
    const TCommandLine given = TCommandLine::parse(argumentsOf(argc, argv));
    if (Headless::handles(given))
        return Headless::run(argc, argv, given);

    // The style sheet must not cut the main window's font off from its controls.
    QApplication::setAttribute(Qt::AA_UseStyleSheetPropagationInWidgetStyles, true);
    // The desktop entry's name: notifications, panels and the window manager
    // find the program's name and icon through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("palavero"));
    // X11 where there is an X display; programs started later choose their own.
    const QByteArray platformName = DisplayPlatform::preferred(QProcessEnvironment::systemEnvironment());
    if (!platformName.isEmpty())
        qputenv("QT_QPA_PLATFORM", platformName);
    QApplication app(argc, argv);
    if (!platformName.isEmpty())
        qunsetenv("QT_QPA_PLATFORM");
    const bool onWayland = DisplayPlatform::isWayland(QGuiApplication::platformName());
    qCDebug(lcDisplay).noquote() << "display platform" << QGuiApplication::platformName();
    app.setQuitOnLastWindowClosed(false);

    std::unique_ptr<TPlatform> platform = CreatePlatform();
    TSingleInstance& instance = *platform->singleInstance;
    if (!instance.tryBecomePrimary()) {
        instance.sendShowRequest();
        return 0;
    }

    // The user interface is German, also the parts that come from Qt (Ja/Nein, Abbrechen).
    QTranslator qtGerman;
    if (qtGerman.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtGerman);

    try {
        TVisualStyle* visualStyle = applyVisualStyle(app);
        TWidgetMessageBoxes boxes;
        // Without the toolkit's own options, which the application object has taken.
        const TCommandLine commandLine = TCommandLine::parse(app.arguments().mid(1));
        if (!commandLine.error.isEmpty()) {
            std::fprintf(stderr, "palavero: %s\n", commandLine.error.toLocal8Bit().constData());
            return TCommandLine::kUsageExitCode;
        }

        // The main window is built now; the options dialog, the snippet editor,
        // the group editor with its name prompt and the about box when they are
        // first opened. All live until the program ends. Every dialog stays
        // above the always-on-top main window, and so does every box.
        TFormMain formMain(*platform, boxes, commandLine);
        boxes.setParentWindow(&formMain);
        QObject::connect(formMain.PopupMenuTray, &QMenu::aboutToShow, visualStyle, &TVisualStyle::apply);
        TLazyWindow<TFormOptions> formOptions([&] {
            auto form = std::make_unique<TFormOptions>(*platform->autostart, boxes,
                                                       platform->systemInfo->executablePath());
            ModalWindows::adopt(*form, formMain);
            return form;
        });
        TLazyWindow<TFormTextbausteine> formTextbausteine([&] {
            auto form = std::make_unique<TFormTextbausteine>(formMain.snippetStore(), boxes, &formMain);
            ModalWindows::adopt(*form, formMain);
            return form;
        });
        TLazyWindow<TFormGroups> formGroups([&] {
            auto form = std::make_unique<TFormGroups>(boxes, platform->systemInfo->systemLocale(), &formMain);
            ModalWindows::adopt(*form, formMain);
            ModalWindows::adopt(form->formNewGroup(), *form);
            return form;
        });
        TLazyWindow<TFormKVInfo> formKVInfo(
            [&] { return std::make_unique<TFormKVInfo>(*platform->desktop, &formMain); });
        formMain.setDialogs(nullptr, formGroups.provider(), formKVInfo.provider());
        formMain.setOptionsBuilder(formOptions.provider());
        formMain.setSnippetEditor(formTextbausteine.provider());

        QObject::connect(&instance, &TSingleInstance::showRequested, &formMain, &TFormMain::WMShowRequest);
        instance.setMessageHandler([&formMain](const QByteArray& recipient, const QByteArray& text) {
            return sendFromScript(formMain, recipient, text);
        });
        QObject::connect(platform->terminationSignals.get(), &TTerminationSignals::terminationRequested, &formMain,
                         &TFormMain::Beenden1Click);
        QObject::connect(&formMain, &TFormMain::closing, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        if (onWayland) {
            qCWarning(lcDisplay) << "on Wayland without X11 the window cannot stay on top, a received message"
                                    " takes it to the front, and the screen-saver hot key cannot be registered";
            formMain.setStatusText(DisplayPlatform::waylandStatusText());
        }
        return app.exec();
    } catch (const std::exception& e) {
        TWidgetMessageBoxes().show(QString::fromLocal8Bit(e.what()), IMessageBoxes::Icon::Error, QString());
    } catch (...) {
        TWidgetMessageBoxes().show(QStringLiteral("Unbekannter Fehler."), IMessageBoxes::Icon::Error, QString());
    }
    return 0;
}
