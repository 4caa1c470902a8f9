#include "terminal/PlanJUnit.h"

#include <QString>
#include <QXmlStreamWriter>

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString Seconds(std::uint32_t ms) { return QString::number(ms / 1000.0, 'f', 3); }

QString Count(const TPlanReport& report, TPlanExecution::TState state) {
    return QString::number(TPlanExecution::Count(report.Rows, state));
}

void WriteProperty(QXmlStreamWriter& xml, const QString& name, const QString& value) {
    xml.writeStartElement("property");
    xml.writeAttribute("name", name);
    xml.writeAttribute("value", value);
    xml.writeEndElement();
}

void WriteCase(QXmlStreamWriter& xml, const TPlanReport& report, std::size_t index) {
    const TPlanExecution::TRow& row = report.Rows[index];
    xml.writeStartElement("testcase");
    xml.writeAttribute("name", QString("%1 %2").arg(index, 2, 10, QChar('0')).arg(Text(row.Title)));
    xml.writeAttribute("classname", Text(report.PlanName));
    xml.writeAttribute("time", Seconds(row.DurationMs));
    if (row.State == TPlanExecution::stFailed) {
        xml.writeStartElement("failure");
        xml.writeAttribute("message", Text(row.Measured + (row.Expected.empty() ? "" : "; expected " + row.Expected)));
        xml.writeAttribute("type", "step failed");
        xml.writeEndElement();
    } else if (row.State != TPlanExecution::stPassed) {
        xml.writeEmptyElement("skipped");
        xml.writeAttribute("message", "not run: the plan ended before this step");
    }
    xml.writeTextElement("system-out", Text("measured: " + row.Measured + "\nexpected: " + row.Expected + "\n"));
    xml.writeEndElement();
}

} // namespace

QByteArray TPlanJUnit::Xml(const TPlanReport& report) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    const QString tests = QString::number(report.Rows.size());
    const QString failures = Count(report, TPlanExecution::stFailed);
    const QString skipped = QString::number(TPlanExecution::Count(report.Rows, TPlanExecution::stNotRun) +
                                            TPlanExecution::Count(report.Rows, TPlanExecution::stPending) +
                                            TPlanExecution::Count(report.Rows, TPlanExecution::stRunning));
    xml.writeStartElement("testsuites");
    xml.writeAttribute("name", "kelvo test plans");
    xml.writeAttribute("tests", tests);
    xml.writeAttribute("failures", failures);
    xml.writeAttribute("time", Seconds(report.DurationMs));
    xml.writeStartElement("testsuite");
    xml.writeAttribute("name", Text(report.PlanName));
    xml.writeAttribute("tests", tests);
    xml.writeAttribute("failures", failures);
    xml.writeAttribute("errors", "0");
    xml.writeAttribute("skipped", skipped);
    xml.writeAttribute("time", Seconds(report.DurationMs));
    xml.writeAttribute("timestamp", Text(report.StartTime));
    xml.writeStartElement("properties");
    WriteProperty(xml, "plan", Text(report.PlanFile));
    WriteProperty(xml, "port", Text(report.ConsolePort));
    WriteProperty(xml, "console.version", QString::number(report.ConsoleVersion));
    WriteProperty(xml, "console.serial", QString::number(report.Serial, 'f', 0));
    WriteProperty(xml, "console.firmware", QString::number(report.Firmware, 'f', 0));
    if (!report.CaptureFile.empty()) WriteProperty(xml, "capture", Text(report.CaptureFile));
    xml.writeEndElement();
    for (std::size_t row = 0; row < report.Rows.size(); ++row) WriteCase(xml, report, row);
    QString text;
    for (const std::string& line : report.TextLines()) text += Text(line) + '\n';
    xml.writeTextElement("system-out", text);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}
