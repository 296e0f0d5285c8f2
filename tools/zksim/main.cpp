// zksim: a stand-in for the spectrometer on a pseudo-terminal.
//
// It opens a pseudo-terminal, prints the name of its device on the first
// line of standard output, publishes a link <temp>/zksim-<pid> to it (which
// the program's port list finds), and answers every command of the
// instrument from its memory until SIGTERM or SIGINT, when it removes the
// link and exits.
#include "SimDevice.h"
#include "SimMemory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t StopRequested = 0;

void OnSignal(int) {
    StopRequested = 1;
}

using TClock = std::chrono::steady_clock;

// Sleeps until `until`, returning early when a stop was requested.
void SleepUntil(TClock::time_point until) {
    while (!StopRequested && TClock::now() < until) {
        const auto left = until - TClock::now();
        std::this_thread::sleep_for(
            std::min<TClock::duration>(left, std::chrono::milliseconds(20)));
    }
}

class TServer {
public:
    TServer(TSimDevice& device, int master, FILE* log) : Device(device), Master(master), Log(log) {
        Device.LogLine = [log](const QString& line) {
            std::fputs(line.toLatin1().constData(), log);
            std::fputc('\n', log);
            std::fflush(log);
        };
    }

    int PaceBaud = 0;
    int LateDelayMs = 20;

    void Run() {
        TClock::time_point frameStart{};
        while (!StopRequested) {
            pollfd pfd{Master, POLLIN, 0};
            const int r = ::poll(&pfd, 1, 100);
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                break;
            }
            if (r == 0) {
                // A frame that stopped half-way is dropped, so the next one
                // starts cleanly.
                if (Device.InFrame() &&
                    TClock::now() - frameStart > std::chrono::milliseconds(500)) {
                    Device.DropPartialFrame();
                }
                continue;
            }
            std::uint8_t buffer[512];
            const ssize_t n = ::read(Master, buffer, sizeof buffer);
            if (n <= 0) {
                if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                    continue;
                }
                // No process holds the device: wait for the next one.
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            for (ssize_t i = 0; i < n; ++i) {
                if (!Device.InFrame()) {
                    frameStart = TClock::now();
                }
                TSimReply reply;
                if (Device.Receive(buffer[i], reply)) {
                    Deliver(reply, frameStart);
                }
            }
        }
    }

private:
    void Comment(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        std::fputs("# ", Log);
        va_list args;
        va_start(args, format);
        std::vfprintf(Log, format, args);
        va_end(args);
        std::fputc('\n', Log);
        std::fflush(Log);
    }

    void Deliver(const TSimReply& reply, TClock::time_point frameStart) {
        // On a real line the frame itself takes 28 byte times to arrive.
        TClock::time_point start = TClock::now();
        if (PaceBaud > 0) {
            start = std::max(start, frameStart + ByteTime() * 28);
            SleepUntil(start);
        }
        Send(reply.Answer, start);
        if (!reply.Late.empty()) {
            const auto at = TClock::now() + std::chrono::milliseconds(LateDelayMs);
            SleepUntil(at);
            Send(reply.Late, at);
        }
    }

    TClock::duration ByteTime() const {
        return std::chrono::duration_cast<TClock::duration>(
            std::chrono::duration<double>(10.0 / PaceBaud));
    }

    // Writes the bytes, never faster than the paced line. When the receiver
    // stops reading for a second the rest is dropped, as bytes that reach a
    // closed port are lost.
    void Send(const std::vector<std::uint8_t>& bytes, TClock::time_point start) {
        std::size_t sent = 0;
        const std::size_t chunk = PaceBaud > 0 ? 32 : bytes.size();
        while (sent < bytes.size() && !StopRequested) {
            const std::size_t n = std::min(chunk, bytes.size() - sent);
            if (PaceBaud > 0) {
                SleepUntil(start + ByteTime() * static_cast<long>(sent + n));
            }
            std::size_t done = 0;
            auto stalledSince = TClock::now();
            while (done < n && !StopRequested) {
                const ssize_t w = ::write(Master, bytes.data() + sent + done, n - done);
                if (w > 0) {
                    done += static_cast<std::size_t>(w);
                    stalledSince = TClock::now();
                    continue;
                }
                if (w < 0 && errno != EAGAIN && errno != EINTR) {
                    Comment("write failed: %s", std::strerror(errno));
                    return;
                }
                if (TClock::now() - stalledSince > std::chrono::seconds(1)) {
                    Comment("receiver not reading, %zu bytes dropped", bytes.size() - sent - done);
                    return;
                }
                pollfd pfd{Master, POLLOUT, 0};
                ::poll(&pfd, 1, 20);
            }
            sent += n;
        }
    }

    TSimDevice& Device;
    int Master;
    FILE* Log;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zksim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stands in for the spectrometer on a pseudo-terminal. Prints the device name on the first "
        "line of standard output and publishes the link <temp>/zksim-<pid> to it, which the "
        "program's port list shows. Runs until SIGTERM or SIGINT.\n\n"
        "Fault KIND:CODE[:N] changes the answer to the N-th frame of command CODE (every one "
        "without N). Kinds: silent (no answer), short (one byte short), busy (0x55), memfail "
        "(0xFF), unexpected (0x00), late (the answer, then four extra bytes after --late-delay), "
        "oversize (a list size of 17 or a spectrum length of 16392 bytes), overcount (a spectrum "
        "block whose channel count is one more than it holds)."));
    parser.addHelpOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Use a demonstration memory (the default)."));
    const QCommandLineOption memory(QStringLiteral("memory"),
                                    QStringLiteral("Load the memory from <folder>: instrument.ini, "
                                                   "current.vtb, background.vtb, stored-*.vtb."),
                                    QStringLiteral("folder"));
    const QCommandLineOption saveMemory(QStringLiteral("save-memory"),
                                        QStringLiteral("Write the memory to <folder> and exit."),
                                        QStringLiteral("folder"));
    const QCommandLineOption samples(
        QStringLiteral("demo-samples"),
        QStringLiteral("Stored samples of the demo memory (default 6)."), QStringLiteral("n"),
        QStringLiteral("6"));
    const QCommandLineOption channels(
        QStringLiteral("demo-channels"),
        QStringLiteral("Channels of every demo sample (default: 1024 and 4096 alternately)."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption backgroundMode(
        QStringLiteral("background-mode"),
        QStringLiteral("Demo instrument subtracts its background (configuration mode bit 0)."));
    const QCommandLineOption fault(QStringLiteral("fault"),
                                   QStringLiteral("Inject a fault, KIND:CODE[:N]; repeatable."),
                                   QStringLiteral("fault"));
    const QCommandLineOption lateDelay(QStringLiteral("late-delay"),
                                       QStringLiteral("Delay of late bytes in ms (default 20)."),
                                       QStringLiteral("ms"), QStringLiteral("20"));
    const QCommandLineOption pace(QStringLiteral("pace-baud"),
                                  QStringLiteral("Send no faster than a line of <baud> (10 bits "
                                                 "per byte), and take the request frames' line "
                                                 "time into account."),
                                  QStringLiteral("baud"));
    const QCommandLineOption logFile(QStringLiteral("log"),
                                     QStringLiteral("Log each frame received (code and hex "
                                                    "payload, one line each) to <file> instead of "
                                                    "standard error."),
                                     QStringLiteral("file"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Also publish the device as the link <path>."),
                                  QStringLiteral("path"));
    parser.addOptions({demo, memory, saveMemory, samples, channels, backgroundMode, fault,
                       lateDelay, pace, logFile, link});
    parser.process(app);

    TSimMemory simMemory;
    if (parser.isSet(memory)) {
        QString error;
        if (!LoadMemory(parser.value(memory), simMemory, error)) {
            std::fprintf(stderr, "zksim: %s\n", qPrintable(error));
            return 1;
        }
    } else {
        TDemoOptions options;
        options.StoredSamples = std::max(0, parser.value(samples).toInt());
        options.Channels = std::clamp(parser.value(channels).toInt(), 0, MaxChannels);
        options.BackgroundMode = parser.isSet(backgroundMode);
        simMemory = BuildDemoMemory(options);
    }
    if (parser.isSet(saveMemory)) {
        QString error;
        if (!SaveMemory(parser.value(saveMemory), simMemory, error)) {
            std::fprintf(stderr, "zksim: %s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }

    std::vector<TSimFault> faults;
    for (const QString& text : parser.values(fault)) {
        TSimFault f;
        if (!ParseSimFault(text, f)) {
            std::fprintf(stderr, "zksim: bad fault '%s' (KIND:CODE[:N])\n", qPrintable(text));
            return 2;
        }
        faults.push_back(f);
    }

    FILE* log = stderr;
    if (parser.isSet(logFile)) {
        log = std::fopen(QFile::encodeName(parser.value(logFile)).constData(), "w");
        if (log == nullptr) {
            std::fprintf(stderr, "zksim: cannot write %s\n", qPrintable(parser.value(logFile)));
            return 1;
        }
    }

    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "zksim: openpty: %s\n", std::strerror(errno));
        return 1;
    }
    // Raw line; the slave stays open here so that its buffers outlive the
    // client's openings, like a line whose receive buffer the client purges.
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);

    QStringList links;
    links << QDir(QDir::tempPath()).filePath(QStringLiteral("zksim-%1").arg(::getpid()));
    if (parser.isSet(link)) {
        links << parser.value(link);
    }
    for (const QString& l : links) {
        QFile::remove(l);
        if (!QFile::link(QString::fromLocal8Bit(name), l)) {
            std::fprintf(stderr, "zksim: cannot create link %s\n", qPrintable(l));
        }
    }
    std::printf("%s\n", name);
    std::fflush(stdout);

    TSimDevice device(std::move(simMemory));
    for (const TSimFault& f : faults) {
        device.AddFault(f);
    }
    TServer server(device, master, log);
    server.PaceBaud = parser.isSet(pace) ? std::max(1, parser.value(pace).toInt()) : 0;
    server.LateDelayMs = std::max(0, parser.value(lateDelay).toInt());
    server.Run();

    for (const QString& l : links) {
        QFile::remove(l);
    }
    ::close(slave);
    ::close(master);
    if (log != stderr) {
        std::fclose(log);
    }
    return 0;
}
