#include "app/player_window.h"
#include "app/app_namespace.h"

#include "engine/html_page.h"

#include <QWidget>

#include <string>

#ifdef KESTROVA_HAVE_WEBENGINE

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include <algorithm>
#include <optional>

namespace kestrova::app {

namespace {

constexpr char kScheme[] = "kestrova-player";

// This WebEngine lets fetch() load only web schemes, and Ruffle fetches its WebAssembly and
// the movie; XMLHttpRequest reads our scheme, so the page's fetch() goes through it there.
constexpr char kFetchBridge[] = R"(
(() => {
  const webFetch = window.fetch.bind(window);
  window.fetch = (input, init) => {
    const url = new URL(input instanceof Request ? input.url : String(input), document.baseURI);
    if (url.protocol !== "kestrova-player:") {
      return webFetch(input, init);
    }
    return new Promise((resolve, reject) => {
      const request = new XMLHttpRequest();
      request.open("GET", url.href);
      request.responseType = "arraybuffer";
      request.onload = () => resolve(new Response(request.response, { status: 200, headers: {
        "Content-Type": url.pathname.endsWith(".wasm") ? "application/wasm"
                                                       : "application/octet-stream" } }));
      request.onerror = () => reject(new TypeError("Failed to fetch " + url.href));
      request.send();
    });
  };
})();
)";

// Answers the page's requests: /index.html (the publish page), /ruffle/NAME (the installed
// Ruffle files) and /MOVIE (the movie file); anything else is not found.
class PlayerSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    PlayerSchemeHandler(const QString& moviePath, QString ruffleDir, QObject* parent)
        : QWebEngineUrlSchemeHandler(parent), moviePath(moviePath),
          movieName(QFileInfo(moviePath).fileName()), ruffleDir(std::move(ruffleDir)) {
        MovieFrame frame;
        ReadMovieFrame(moviePath.toStdString(), frame);
        page = QByteArray::fromStdString(HtmlPageText(movieName.toStdString(), frame.width,
                                                      frame.height, frame.backgroundBgr, ""));
    }

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        QString path = job->requestUrl().path(QUrl::FullyDecoded);
        if (path == "/index.html") {
            Reply(job, "text/html", page);
        } else if (path.startsWith("/ruffle/") && !path.mid(8).contains('/')) {
            QString name = path.mid(8);
            Reply(job, name.endsWith(".wasm") ? "application/wasm" : "text/javascript",
                  ReadAll(ruffleDir + "/" + name));
        } else if (path == "/" + movieName) {
            Reply(job, "application/x-shockwave-flash", ReadAll(moviePath));
        } else {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        }
    }

private:
    static std::optional<QByteArray> ReadAll(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        return file.readAll();
    }
    static void Reply(QWebEngineUrlRequestJob* job, const QByteArray& mime,
                      const std::optional<QByteArray>& data) {
        if (!data) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* buffer = new QBuffer(job);
        buffer->setData(*data);
        buffer->open(QIODevice::ReadOnly);
        job->reply(mime, buffer);
    }

    QString moviePath;
    QString movieName;
    QString ruffleDir;
    QByteArray page;
};

// The window owns a private profile (nothing is kept on disk) with the scheme handler; the
// view and its page go first, as WebEngine wants pages gone before their profile.
class PlayerWindow : public QWidget {
public:
    PlayerWindow(const QString& moviePath, const QString& ruffleDir, const MovieFrame& frame,
                 QWidget* parent)
        : QWidget(parent, Qt::Window), profile(new QWebEngineProfile(this)) {
        setAttribute(Qt::WA_DeleteOnClose);
        setObjectName("playerWindow");
        setWindowTitle(QFileInfo(moviePath).fileName() + " - Kestrova Player");
        profile->installUrlSchemeHandler(kScheme,
                                         new PlayerSchemeHandler(moviePath, ruffleDir, profile));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        view = new QWebEngineView(this);
        auto* page = new QWebEnginePage(profile, view);
        // The sounds of the movie play without a click first.
        page->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
        page->setBackgroundColor(QColor(frame.backgroundBgr & 0xFF,
                                        (frame.backgroundBgr >> 8) & 0xFF,
                                        (frame.backgroundBgr >> 16) & 0xFF));
        QWebEngineScript bridge;
        bridge.setName("fetch bridge");
        bridge.setSourceCode(kFetchBridge);
        bridge.setInjectionPoint(QWebEngineScript::DocumentCreation);
        bridge.setWorldId(QWebEngineScript::MainWorld);
        bridge.setRunsOnSubFrames(false);
        page->scripts().insert(bridge);
        view->setPage(page);
        layout->addWidget(view);
        resize(std::max(frame.width, 320), std::max(frame.height, 240));
        view->load(QUrl(QString(kScheme) + "://movie/index.html"));
    }
    ~PlayerWindow() override { delete view; }

private:
    QWebEngineProfile* profile;
    QWebEngineView* view = nullptr;
};

} // namespace

void PreparePlayer() {
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled |
                    QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QString PlayerUnavailableReason() {
    if (FindRuffleDirectory().empty()) {
        return "The SWF player needs Ruffle, which is not installed: share/kestrova/ruffle was "
               "not found beside the program.";
    }
    return {};
}

QWidget* OpenPlayerWindow(const QString& moviePath, QWidget* parent, QString* error) {
    QString reason = PlayerUnavailableReason();
    MovieFrame frame;
    if (reason.isEmpty() && !ReadMovieFrame(moviePath.toStdString(), frame)) {
        reason = "Unable to play the file, it is not an SWF movie:\n" + moviePath;
    }
    if (!reason.isEmpty()) {
        if (error != nullptr) {
            *error = reason;
        }
        return nullptr;
    }
    auto* window =
        new PlayerWindow(moviePath, QString::fromStdString(FindRuffleDirectory()), frame, parent);
    window->show();
    return window;
}

#else // built without Qt WebEngine

void PreparePlayer() {}

QString PlayerUnavailableReason() {
    return "This copy of Kestrova was built without Qt WebEngine, so it has no SWF player.";
}

QWidget* OpenPlayerWindow(const QString&, QWidget*, QString* error) {
    if (error != nullptr) {
        *error = PlayerUnavailableReason();
    }
    return nullptr;
}

#endif

} // namespace kestrova::app
