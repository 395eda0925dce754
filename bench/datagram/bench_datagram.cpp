// Throughput of the receiving side for a burst of presence datagrams.
//
// Refresh datagrams, and then connect datagrams, from many distinct computer
// names (in shuffled order) are sent over loopback, from 127.0.0.2 to 127.0.0.1:<port>, in chunks that fit into
// the receive buffer. After each chunk has been queued by the kernel, the
// receiving side is timed until it has handled the whole chunk; the receiving
// side is either
//   - the program's path: TUdpEndpoint -> TDatagramHandler -> TPresence ->
//     TTargetList, on the Qt event loop, or
//   - a bare loop of recvfrom() calls on a plain POSIX socket.
// Sending is not timed, so the figures compare the receiving work alone. A
// connect is answered with a refresh to every broadcast address, which includes
// looking at the interfaces; here the interfaces are looked at for real but the
// answer goes to the loopback network's broadcast address only, and comes back
// to the program, which drops it as its own. For connects, a bare loop that
// answers each datagram with one broadcast shows what answering costs alone.
// Connects from new senders are also timed with the recipient box of the main
// window attached to the target list, once shown and once hidden, side by side
// in each round: a shown box must not repaint for every sender that joins.
// --smoke: 300 senders in chunks of 50, one round; checks only that every
// datagram was handled and every sender listed (for the test run).

#include "BenchSmoke.h"
#include "app/TargetCombo.h"
#include "net/DatagramHandler.h"
#include "net/Presence.h"
#include "net/TargetList.h"
#include "net/UdpEndpoint.h"
#include "platform/MessageBoxes.h"
#include "platform/linux/LinuxNetworkInfo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include <arpa/inet.h>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kNames = 1000; // distinct computers per round: a large network's answers
constexpr int kRounds = 15;
constexpr int kChunk = 200;  // datagrams queued at once (fits a default receive buffer)

// Wall time and the CPU time of this thread (the receiving work alone, also on a
// busy machine).
struct TTimes {
    qint64 wallNs = 0;
    qint64 cpuNs = 0;
};

qint64 threadCpuNs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

class TStopwatch {
public:
    explicit TStopwatch(TTimes& total) : FTotal(total), FCpu(threadCpuNs()) { FWall.start(); }
    ~TStopwatch() {
        FTotal.wallNs += FWall.nsecsElapsed();
        FTotal.cpuNs += threadCpuNs() - FCpu;
    }
    qint64 elapsedMs() const { return FWall.elapsed(); }

private:
    TTimes& FTotal;
    qint64 FCpu;
    QElapsedTimer FWall;
};

struct TRate {
    double wall = 0; // datagrams per second of wall time
    double cpu = 0;  // datagrams per second of CPU time
    bool complete = false; // every datagram handled
};

TRate rate(int datagrams, const TTimes& t) {
    return {datagrams * 1e9 / double(std::max<qint64>(t.wallNs, 1)), datagrams * 1e9 / double(std::max<qint64>(t.cpuNs, 1)),
            false};
}

class TSilentBoxes : public IMessageBoxes {
public:
    int shown = 0;
    void show(const QString& text, Icon, const QString&) override {
        ++shown;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool ask(const QString&, const QString&, Icon) override { return false; }
};

// The interfaces of this computer are looked at, but only the loopback network
// is reported: answers to a connect do not leave the computer.
class TLoopbackNetworkInfo : public INetworkInfo {
public:
    QList<TInterfaceAddress> localIPv4() const override {
        (void)FReal.localIPv4();
        return {{TIpAddress::localhost(), 8}};
    }

private:
    TLinuxNetworkInfo FReal;
};

const char* const kRefresh = ":KVPALAVEROREFRESH:";
const char* const kConnect = ":KVPALAVEROCONNECT:";

std::vector<QByteArray> makeDatagrams(unsigned seed, int names = kNames, const char* keyword = kRefresh) {
    std::vector<QByteArray> out;
    out.reserve(size_t(names));
    for (int i = 0; i < names; ++i)
        out.push_back("PC-" + QByteArray::number(i).rightJustified(5, '0') + keyword);
    std::shuffle(out.begin(), out.end(), std::mt19937(seed));
    return out;
}

quint16 freePort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

// Sends from 127.0.0.2 to 127.0.0.1:port; the kernel has queued each datagram
// at the receiving socket when sendto() returns.
class TSender {
public:
    static constexpr quint32 kAddress = 0x7f000002; // 127.0.0.2
    explicit TSender(quint16 port) : FFd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(kAddress);
        ::bind(FFd, reinterpret_cast<sockaddr*>(&from), sizeof from);
        FTo.sin_family = AF_INET;
        FTo.sin_port = htons(port);
        FTo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~TSender() { ::close(FFd); }
    void send(const std::vector<QByteArray>& datagrams, size_t first, size_t count) {
        for (size_t i = first; i < first + count; ++i)
            ::sendto(FFd, datagrams[i].constData(), size_t(datagrams[i].size()), 0,
                     reinterpret_cast<const sockaddr*>(&FTo), sizeof FTo);
    }

private:
    int FFd;
    sockaddr_in FTo{};
};

// The program's path. The first pass lists every sender (new computers); the
// second sends the same datagrams again (computers already listed).
struct TProgramRates {
    TRate newSenders;
    TRate knownSenders;
};

enum class TBox { None, Hidden, Shown }; // the recipient box on the target list

TProgramRates roundProgram(const std::vector<QByteArray>& datagrams, INetworkInfo& net, IMessageBoxes& boxes,
                           size_t chunk = kChunk, TBox box = TBox::None) {
    const quint16 port = freePort();
    TUdpEndpoint endpoint(net, boxes);
    TTargetList targets("BENCH");
    std::unique_ptr<TTargetCombo> combo;
    if (box != TBox::None) {
        combo = std::make_unique<TTargetCombo>();
        combo->setTargetModel(&targets);
        combo->resize(300, 24);
        if (box == TBox::Shown) {
            combo->show();
            QCoreApplication::processEvents();
        }
    }
    TDatagramHandler handler;
    TPresence presence("BENCH", QStringLiteral("bench"), endpoint, targets, boxes);
    QObject::connect(&endpoint, &TUdpEndpoint::datagramReceived, &handler, &TDatagramHandler::HandleDatagram);
    presence.connectToHandler(handler);
    QString status;
    QObject::connect(&handler, &TDatagramHandler::statusText, [&status](const QString& s) { status = s; });
    int handled = 0;
    QObject::connect(&handler, &TDatagramHandler::refreshReceived, [&handled] { ++handled; });
    QObject::connect(&handler, &TDatagramHandler::connectReceived, [&handled] { ++handled; });
    endpoint.configure(port);
    if (!endpoint.open()) {
        std::fprintf(stderr, "cannot open the endpoint\n");
        return {};
    }
    TSender sender(port);
    TRate passes[2];
    for (TRate& pass : passes) {
        TTimes times;
        const int before = handled;
        for (size_t first = 0; first < datagrams.size(); first += chunk) {
            const size_t count = std::min(chunk, datagrams.size() - first);
            sender.send(datagrams, first, count);
            TStopwatch clock(times);
            while (handled < before + int(first + count) && clock.elapsedMs() < 5000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (targets.count() != int(datagrams.size()))
            std::fprintf(stderr, "target list holds %d of %d\n", targets.count(), int(datagrams.size()));
        pass = rate(handled - before, times);
        pass.complete = handled - before == int(datagrams.size()) && targets.count() == int(datagrams.size());
    }
    return {passes[0], passes[1]};
}

// A bare recvfrom loop. With `answer`, it also does the least a connect asks
// for: one broadcast sendto() of a refresh per datagram, to the loopback
// network's broadcast address as the program's answers go, whose copy comes
// back to the socket and is read and dropped, as the program drops its own.
TRate roundBare(const std::vector<QByteArray>& datagrams, size_t chunk = kChunk, bool answer = false) {
    const quint16 port = freePort();
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    const int on = 1;
    // The receive buffer the program's endpoint asks for: a chunk and the copies
    // of its answers fit, and no datagram is lost.
    const int buffer4MiB = 4 * 1024 * 1024;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer4MiB, sizeof buffer4MiB) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer4MiB, sizeof buffer4MiB);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        std::fprintf(stderr, "cannot bind\n");
        ::close(fd);
        return {};
    }
    sockaddr_in everyone = at;
    everyone.sin_addr.s_addr = htonl(0x7fffffff); // 127.255.255.255
    const QByteArray refresh = QByteArray("BENCH") + kRefresh;
    TSender sender(port);
    char buffer[8193];
    int handled = 0;
    TTimes times;
    for (size_t first = 0; first < datagrams.size(); first += chunk) {
        const size_t count = std::min(chunk, datagrams.size() - first);
        sender.send(datagrams, first, count);
        TStopwatch clock(times);
        for (size_t i = 0; i < count;) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            if (::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &length) <= 0)
                break;
            if (from.sin_addr.s_addr != htonl(TSender::kAddress))
                continue; // an own answer
            ++handled;
            ++i;
            if (answer)
                ::sendto(fd, refresh.constData(), size_t(refresh.size()), 0,
                         reinterpret_cast<const sockaddr*>(&everyone), sizeof everyone);
        }
    }
    ::close(fd);
    if (handled != int(datagrams.size()))
        std::fprintf(stderr, "bare loop received %d of %d\n", handled, int(datagrams.size()));
    TRate result = rate(handled, times);
    result.complete = handled == int(datagrams.size());
    return result;
}

// Medians over the rounds of one kind of datagram.
struct TFigures {
    std::vector<double> newWall, newCpu, knownWall, knownCpu, bareWall, bareCpu;
    std::vector<double> answeringWall, answeringCpu; // the bare loop that answers each datagram
    void addAnswering(const TRate& answering) {
        answeringWall.push_back(answering.wall);
        answeringCpu.push_back(answering.cpu);
    }
    void add(const TRate& bare, const TProgramRates& program) {
        bareWall.push_back(bare.wall);
        bareCpu.push_back(bare.cpu);
        newWall.push_back(program.newSenders.wall);
        newCpu.push_back(program.newSenders.cpu);
        knownWall.push_back(program.knownSenders.wall);
        knownCpu.push_back(program.knownSenders.cpu);
    }
    static double median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    void print(const char* kind) const {
        const double bw = median(bareWall), bc = median(bareCpu);
        std::printf("%s\n  medians, datagrams per second        %14s %14s\n", kind, "wall time", "thread CPU");
        std::printf("  endpoint+dispatch+presence+targets   %14.0f %14.0f   (new senders, each added)\n",
                    median(newWall), median(newCpu));
        std::printf("    the same, senders already listed   %14.0f %14.0f\n", median(knownWall), median(knownCpu));
        std::printf("  bare recvfrom loop                   %14.0f %14.0f\n", bw, bc);
        std::printf("  ratio, new senders                   %14.2f %14.2f\n", median(newWall) / bw, median(newCpu) / bc);
        std::printf("  ratio, listed senders                %14.2f %14.2f\n", median(knownWall) / bw,
                    median(knownCpu) / bc);
        if (answeringWall.empty())
            return;
        const double aw = median(answeringWall), ac = median(answeringCpu);
        std::printf("  bare loop answering each by a broadcast %11.0f %14.0f\n", aw, ac);
        std::printf("  its ratio to the bare loop           %14.2f %14.2f", aw / bw, ac / bc);
        std::printf("   (the most any answering program reaches)\n");
        std::printf("  ratio, new senders, to it            %14.2f %14.2f\n", median(newWall) / aw,
                    median(newCpu) / ac);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TLoopbackNetworkInfo net;
    TSilentBoxes boxes;

    if (BenchSmoke::requested()) {
        bool bare = true, program = true;
        for (const char* keyword : {kRefresh, kConnect}) {
            const auto datagrams = makeDatagrams(1, 300, keyword);
            bare = bare && roundBare(datagrams, 50).complete && roundBare(datagrams, 50, true).complete;
            for (const TBox box : {TBox::None, TBox::Shown}) {
                const TProgramRates p = roundProgram(datagrams, net, boxes, 50, box);
                program = program && p.newSenders.complete && p.knownSenders.complete && boxes.shown == 0;
            }
        }
        return BenchSmoke::report(bare && program, program ? "the bare loop missed datagrams"
                                                           : "the program missed datagrams or senders");
    }
    TFigures refresh, connect;
    std::vector<double> boxHidden, boxShown;
    for (int round = 0; round < kRounds; ++round) {
        for (auto [keyword, figures] : {std::pair{kRefresh, &refresh}, std::pair{kConnect, &connect}}) {
            const auto datagrams = makeDatagrams(unsigned(round) + 1, kNames, keyword);
            const TRate b = roundBare(datagrams);
            if (keyword == kConnect) {
                figures->addAnswering(roundBare(datagrams, kChunk, true));
                boxHidden.push_back(roundProgram(datagrams, net, boxes, kChunk, TBox::Hidden).newSenders.wall);
                boxShown.push_back(roundProgram(datagrams, net, boxes, kChunk, TBox::Shown).newSenders.wall);
            }
            figures->add(b, roundProgram(datagrams, net, boxes));
        }
    }
    std::printf("presence datagrams, %d distinct senders per round, %d rounds, chunks of %d, loopback\n", kNames,
                kRounds, kChunk);
    refresh.print("refresh (not answered)");
    connect.print("connect (each answered by a broadcast)");
    std::printf("connect, new senders, recipient box attached: hidden %.0f/s, shown %.0f/s (medians of wall time)\n",
                TFigures::median(boxHidden), TFigures::median(boxShown));
    std::vector<double> ratios;
    for (size_t i = 0; i < boxShown.size(); ++i)
        ratios.push_back(boxShown[i] / boxHidden[i]);
    std::sort(ratios.begin(), ratios.end());
    std::printf("  shown/hidden per round: min %.2f  median %.2f  max %.2f   (target >= 0.8)\n", ratios.front(),
                ratios[ratios.size() / 2], ratios.back());
    std::printf("target: new senders' refresh and connect >= 0.5 of the bare loop\n");
    return 0;
}
