#include "tests/app/soundcheck.h"

#include "tests/support/testfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace jbx::testing {

namespace {

// Below this RMS a window counts as silence; the tones are near 11,600.
constexpr double kSilenceRms = 1000.0;

} // namespace

void Spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool SpinUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        Spin(10);
    }
    return true;
}

TestAudioServer::~TestAudioServer()
{
    if (!folder_.empty())
        QProcess::execute(QStringLiteral(JBX_START_TEST_AUDIO),
            {QStringLiteral("--stop"), QString::fromStdString(folder_)});
}

bool TestAudioServer::start()
{
    QProcess script;
    script.start(QStringLiteral(JBX_START_TEST_AUDIO),
        {QStringLiteral("--owner"), QString::number(QCoreApplication::applicationPid())});
    if (!script.waitForFinished(20000) || script.exitStatus() != QProcess::NormalExit) {
        failure_ = "scripts/start-test-audio did not run: " + script.errorString().toStdString();
        return false;
    }
    if (script.exitCode() != 0) {
        failure_ = QString::fromLocal8Bit(script.readAllStandardError()).trimmed().toStdString();
        return false;
    }
    // Lines of the form: export NAME='value'
    const QStringList lines = QString::fromLocal8Bit(script.readAllStandardOutput()).split('\n');
    for (const QString& line : lines) {
        if (!line.startsWith(QStringLiteral("export ")))
            continue;
        const QString assignment = line.mid(7);
        const qsizetype equals = assignment.indexOf('=');
        if (equals < 0)
            continue;
        QString value = assignment.mid(equals + 1);
        if (value.size() >= 2 && value.startsWith('\'') && value.endsWith('\''))
            value = value.mid(1, value.size() - 2);
        const QByteArray name = assignment.left(equals).toLocal8Bit();
        qputenv(name.constData(), value.toLocal8Bit());
        if (name == "XDG_RUNTIME_DIR")
            folder_ = value.toStdString();
    }
    if (folder_.empty() || qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        failure_ = "scripts/start-test-audio printed no server address";
        return false;
    }
    return true;
}

int TestAudioServer::clientCount() const
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("clients")});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
        return -1;
    const QByteArray out = pactl.readAllStandardOutput().trimmed();
    return out.isEmpty() ? 0 : int(out.count('\n')) + 1;
}

MonitorRecording::~MonitorRecording()
{
    if (parec_.state() != QProcess::NotRunning) {
        parec_.kill();
        parec_.waitForFinished(2000);
    }
}

bool MonitorRecording::start(const std::string& folder)
{
    path_ = folder + "/monitor.raw";
    parec_.setStandardOutputFile(QString::fromStdString(path_));
    parec_.start(QStringLiteral("parec"),
        {QStringLiteral("-d"), QStringLiteral("test.monitor"), QStringLiteral("--raw"),
            QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
            QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20")});
    if (!parec_.waitForStarted(5000))
        return false;
    // The monitor can take a second to deliver its first samples; anything
    // played before then would be missed.
    const QString path = QString::fromStdString(path_);
    return SpinUntil([&] { return QFileInfo(path).size() > 0 || parec_.state() != QProcess::Running; }, 10000)
        && parec_.state() == QProcess::Running;
}

std::vector<std::int16_t> MonitorRecording::stop()
{
    // Record the tail of whatever is still in the server's buffers.
    Spin(300);
    parec_.terminate();
    if (!parec_.waitForFinished(3000)) {
        parec_.kill();
        parec_.waitForFinished(2000);
    }
    const Bytes raw = ReadBytes(path_);
    std::vector<std::int16_t> left;
    left.reserve(raw.size() / 4);
    for (std::size_t i = 0; raw.size() - i >= 4; i += 4)
        left.push_back(std::int16_t(ReadLE16(raw.data() + i)));
    return left;
}

std::vector<double> WindowPitches(const std::vector<std::int16_t>& samples, int rate)
{
    const auto window = std::size_t(std::lround(rate * kWindowSeconds));
    std::vector<double> pitches;
    for (std::size_t start = 0; samples.size() - start >= window; start += window) {
        double energy = 0;
        std::size_t crossings = 0;
        int lastSign = 0;
        for (std::size_t i = start; i < start + window; ++i) {
            const double s = samples[i];
            energy += s * s;
            const int sign = (s > 0) - (s < 0);
            if (sign != 0) {
                if (lastSign != 0 && sign != lastSign)
                    ++crossings;
                lastSign = sign;
            }
        }
        const double rms = std::sqrt(energy / double(window));
        pitches.push_back(rms < kSilenceRms ? 0.0 : double(crossings) / (2.0 * kWindowSeconds));
    }
    return pitches;
}

std::size_t AudibleWindows(const std::vector<double>& pitches)
{
    return std::size_t(std::count_if(pitches.begin(), pitches.end(), [](double p) { return p > 0; }));
}

double AudibleSeconds(const std::vector<double>& pitches)
{
    return double(AudibleWindows(pitches)) * kWindowSeconds;
}

double MedianPitch(const std::vector<double>& pitches)
{
    std::vector<double> audible;
    std::copy_if(pitches.begin(), pitches.end(), std::back_inserter(audible), [](double p) { return p > 0; });
    if (audible.empty())
        return 0;
    std::nth_element(audible.begin(), audible.begin() + std::ptrdiff_t(audible.size() / 2), audible.end());
    return audible[audible.size() / 2];
}

} // namespace jbx::testing
