#include "terminal/SurveyLog.h"

#include "device/KelvoDevice.h"
#include "device/SurveyReports.h"
#include "device_link/WaitWithMessages.h"
#include "terminal/DateTimeText.h"
#include "terminal/EventText.h"
#include "terminal/ExecutableFolder.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <exception>

namespace {

// The device's report that it gave a repair up; its disconnection and its loss follow.

const QString Stars = QString(49, u'*');
const QString ThreeBlanks = QStringLiteral("   ");

std::int64_t SteadyClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The date-time 0 of the calendar, which a report shows as its start before any connection.
QDateTime CalendarZero() { return QDateTime(QDate(1899, 12, 30), QTime(0, 0)); }

QString VersionText(double Version) { return QString::fromStdString(EventText::Fixed(Version, 1, 2)); }

QString Hex(const ByteString& Str) { return QString::fromStdString(HexText(Str)); }

} // namespace

TSurveyLog::TSurveyLog(const QString& FileName)
    : SteadyMs(SteadyClockMs), FFileName(BesideExecutable(FileName)), FConnectTime(CalendarZero()),
      FEndTime(CalendarZero()) {
    FLog.SetLogFileName(FFileName);
}

QString TSurveyLog::DefaultFileName() { return BesideExecutable(QStringLiteral("CS.log")); }

bool TSurveyLog::Exists() const { return QFile::exists(FFileName); }

QString TSurveyLog::NotFoundText() const { return QDir::toNativeSeparators(FFileName) + QStringLiteral(" not found!"); }

std::string TSurveyLog::Delete() const {
    QFile file(FFileName);
    if (!file.exists() || file.remove()) return {};
    return QStringLiteral("Cannot delete %1: %2").arg(QDir::toNativeSeparators(FFileName), file.errorString()).toStdString();
}

QString TSurveyLog::LogTimeText(const QDateTime& When) {
    return FormatDateTime(QStringLiteral("dd/mm/yy hh:nn:ss:zzz"), When);
}

QString TSurveyLog::DurationText(std::int64_t Milliseconds) {
    const std::int64_t total = std::max<std::int64_t>(Milliseconds, 0);
    const auto padded = [](std::int64_t value, int width) {
        return QString::number(value).rightJustified(width, u'0');
    };
    const QChar separator = TimeSeparator();
    return padded(total / 3600000, 2) + separator + padded(total / 60000 % 60, 2) + separator +
           padded(total / 1000 % 60, 2) + separator + padded(total % 1000, 3);
}

void TSurveyLog::Append(const QString& line) {
    if (OnLine) {
        OnLine(line);
        return;
    }
    try {
        FLog.Add(line);
        FFailing = false;
    } catch (const std::exception& error) {
        if (FFailing) return;
        FFailing = true;
        Raise(OnWriteFailed, std::string("!!! Survey log not written: ") + error.what());
    }
}

void TSurveyLog::WriteStartLine() {
    if (!WriteLogCS) return;
    Append(QStringLiteral("Tavrik started on: ") + FormatDateTime(QStringLiteral("ddddd tt"), CurrentTime()));
}

void TSurveyLog::WriteClosingLine() {
    WriteSurveyLine(QStringLiteral("\r\n****************** Tavrik Closed ****************** "));
}

void TSurveyLog::WriteSurveyLine(const QString& Code, const QString& Text) {
    if (!WriteLogCS) return;
    QString line = LogTimeText(CurrentTime()) + u'\t' + Code;
    if (!Text.isEmpty()) line += u'\t' + Text;
    Append(line);
}

void TSurveyLog::WriteRunReport(const QString& Reason, double Version, std::int32_t DisconnectionCount) {
    FEndTime = CurrentTime();
    const std::int64_t duration = FConnectedOnce ? SteadyMs() - FConnectSteadyMs : 0;
    Append(ThreeBlanks);
    Append(QStringLiteral("Kelvo version:\t") + VersionText(Version));
    Append(QStringLiteral("Test Start:\t") + LogTimeText(FConnectTime));
    Append(QStringLiteral("Test end:\t") + LogTimeText(FEndTime));
    Append(QStringLiteral("Test duration:\t") + DurationText(duration));
    Append(QStringLiteral("End reason:\t") + Reason);
    Append(QStringLiteral("Disconnection count:\t%1").arg(DisconnectionCount));
    Append(Stars);
}

void TSurveyLog::OnConnected(double Version) {
    FConnectTime = CurrentTime();
    FConnectSteadyMs = SteadyMs();
    FConnectedOnce = true;
    FGivingUp = false;
    Append(Stars);
    Append(QStringLiteral("Kelvo %1 connected on %2").arg(VersionText(Version), LogTimeText(FConnectTime)));
    Append(ThreeBlanks);
}

void TSurveyLog::OnDisconnected(double Version, std::int32_t DisconnectionCount) {
    WriteSurveyLine(QStringLiteral("------ Kvd Disconnected ------"));
    if (!FGivingUp) WriteRunReport(QStringLiteral("Kvd Disconnected"), Version, DisconnectionCount);
    FEndTime = CurrentTime();
}

void TSurveyLog::OnRepairingConnection(std::int32_t DisconnectionCount, std::int32_t Resistance) {
    WriteSurveyLine(QStringLiteral("700"), QStringLiteral("------ New disconnection ------ #Disc. count: %1, Resistance: %2")
                                               .arg(DisconnectionCount)
                                               .arg(Resistance));
}

void TSurveyLog::OnConnectionLost(double Version, std::int32_t DisconnectionCount, std::int32_t Resistance) {
    WriteSurveyLine(QStringLiteral("720"), QStringLiteral("Connection lost definitively!: Resistance value: %1").arg(Resistance));
    WriteRunReport(QStringLiteral("Connection lost"), Version, DisconnectionCount);
    FGivingUp = false;
    // The box and the search wait in their turn; inside the survey tick they would nest in it.
    if (OnConnectionLostAfterTick) RunAfterWaits(OnConnectionLostAfterTick);
}

void TSurveyLog::OnKvdErrorInfo(std::int32_t KvdErrorCode, std::int32_t Occurence, std::int32_t Resistance) {
    const QString text = QString::fromStdString(TKelvoDevice::ErrorText(KvdErrorCode));
    WriteSurveyLine(QString::number(KvdErrorCode),
                    Occurence == -1 ? QStringLiteral("%1, Resistance value: %2").arg(text).arg(Resistance)
                                    : QStringLiteral("%1, #attempt: %2, Resistance value: %3")
                                          .arg(text)
                                          .arg(Occurence)
                                          .arg(Resistance));
    if (KvdErrorCode == SurveyReport::GivenUp) FGivingUp = true;
}

void TSurveyLog::OnComDataPacketDiscard(const ByteString& Str) {
    WriteSurveyLine(QStringLiteral("100"), QStringLiteral("Console message discarded: ") + Hex(Str));
}

void TSurveyLog::OnMessageRejected(const ByteString& Str) {
    WriteSurveyLine(QStringLiteral("101"), QStringLiteral("Console message Rejected: ") + Hex(Str));
}

void TSurveyLog::OnHeartConnectionLost() {
    WriteSurveyLine(QStringLiteral("520"), QStringLiteral("Heart connection lost: "));
}
