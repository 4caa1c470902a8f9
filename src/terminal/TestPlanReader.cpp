#include "terminal/TestPlanReader.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace {

using namespace TestPlanText;

// A fault in one step; the reader adds the file and the step's number.
struct EStepFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr double LongestSeconds = 3600;

struct TRange {
    double Min;
    double Max;
    bool Whole;
};

// The console's range of each set-point, as the monitor's commands take them.
TRange RangeOf(TPlanSetPoint setPoint) {
    switch (setPoint) {
    case TPlanSetPoint::spResistance: return {0, 255, true};
    case TPlanSetPoint::spElevation: return {0, 9999, true};
    case TPlanSetPoint::spSlope: return {-100, 100, false};
    case TPlanSetPoint::spWeight: return {0, 1000, false};
    }
    return {0, 0, true};
}

template <typename T> std::string NameList(const TNames<T>& names) {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i].first;
    return list;
}

class TStepFields {
public:
    explicit TStepFields(const QJsonObject& object) : FObject(object) {}

    void Allow(std::initializer_list<const char*> keys) const {
        QSet<QString> allowed{"step", "name"};
        for (const char* key : keys) allowed.insert(key);
        for (const QString& key : FObject.keys())
            if (!allowed.contains(key)) throw EStepFault("unknown field '" + key.toStdString() + "'");
    }
    bool Has(const char* key) const { return FObject.contains(key); }

    std::string Text(const char* key) const {
        const QJsonValue value = FObject.value(key);
        if (!value.isString()) throw EStepFault(std::string("'") + key + "' must be a text");
        return value.toString().toStdString();
    }
    std::optional<double> OptionalNumber(const char* key) const {
        if (!Has(key)) return std::nullopt;
        const QJsonValue value = FObject.value(key);
        if (!value.isDouble()) throw EStepFault(std::string("'") + key + "' must be a number");
        return value.toDouble();
    }
    double Bounded(const char* key, double fallback, double min, double max) const {
        const double value = OptionalNumber(key).value_or(fallback);
        if (value < min || value > max)
            throw EStepFault(std::string("'") + key + "' is " + Number(value) + ", outside " + Number(min) + " to " +
                             Number(max));
        return value;
    }
    double Required(const char* key, double min, double max) const {
        if (!Has(key)) throw EStepFault(std::string("'") + key + "' is missing");
        return Bounded(key, 0, min, max);
    }
    template <typename T> T Named(const char* key, const TNames<T>& names) const {
        if (!Has(key)) throw EStepFault(std::string("'") + key + "' is missing (" + NameList(names) + ")");
        const std::string name = Text(key);
        for (const auto& [known, value] : names)
            if (known == name) return value;
        throw EStepFault(std::string("unknown ") + key + " '" + name + "' (" + NameList(names) + ")");
    }

private:
    const QJsonObject& FObject;
};

void ReadBounds(const TStepFields& fields, TPlanStep& step) {
    step.Min = fields.OptionalNumber("min");
    step.Max = fields.OptionalNumber("max");
    if (!step.Min && !step.Max) throw EStepFault("give 'min', 'max' or both");
    if (step.Min && step.Max && *step.Min > *step.Max)
        throw EStepFault("bounds reversed: 'min' " + Number(*step.Min) + " is above 'max' " + Number(*step.Max));
}

void ReadSet(const TStepFields& fields, TPlanStep& step) {
    fields.Allow({"setpoint", "value"});
    step.SetPoint = fields.Named("setpoint", SetPoints());
    const TRange range = RangeOf(step.SetPoint);
    step.Value = fields.Required("value", range.Min, range.Max);
    if (range.Whole && step.Value != std::trunc(step.Value))
        throw EStepFault("'value' " + Number(step.Value) + " is not a whole number");
}

void ReadExpect(const TStepFields& fields, TPlanStep& step) {
    fields.Allow({"figure", "min", "max", "within", "message", "key", "for"});
    step.Figure = fields.Named("figure", Figures());
    if (step.Figure == TPlanFigure::pfKey) {
        if (fields.Has("min") || fields.Has("max")) throw EStepFault("a key has no bounds");
        step.Key = fields.Named("key", Keys());
        step.Seconds = fields.Required("within", 1, LongestSeconds);
        return;
    }
    ReadBounds(fields, step);
    if (step.Figure == TPlanFigure::pfRate) {
        step.Message = fields.Named("message", Messages());
        step.Seconds = fields.Bounded("for", 5, 1, 600);
        return;
    }
    step.Seconds = fields.Bounded("within", 0, 0, LongestSeconds);
}

void ReadSettle(const TStepFields& fields, TPlanStep& step) {
    fields.Allow({"figure", "min", "max", "within", "band", "for", "compared"});
    step.Figure = fields.Named("figure", Figures());
    if (step.Figure != TPlanFigure::pfSpeed && step.Figure != TPlanFigure::pfCadence &&
        step.Figure != TPlanFigure::pfHeart && step.Figure != TPlanFigure::pfPower)
        throw EStepFault("only speed, cadence, heart or power settle");
    ReadBounds(fields, step);
    step.Band = fields.Bounded("band", 2, 0.1, 50) / 100;
    step.SettleSeconds = fields.Bounded("for", 2, 1, 600);
    step.Seconds = fields.Bounded("within", 30, step.SettleSeconds, LongestSeconds);
    if (fields.Has("compared") && fields.Text("compared") != "previous")
        throw EStepFault("'compared' can only be \"previous\"");
    step.Relative = fields.Has("compared");
}

// A step compared with an earlier one needs that earlier one.
void CheckComparedSteps(const std::vector<TPlanStep>& steps, std::size_t index) {
    const TPlanStep& step = steps[index];
    if (!step.Relative) return;
    const auto earlier = std::find_if(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(index), [&](const TPlanStep& other) {
        return other.Kind == TPlanStepKind::psSettle && other.Figure == step.Figure;
    });
    if (earlier == steps.begin() + static_cast<std::ptrdiff_t>(index))
        throw EStepFault("nothing to compare with: no earlier settle step of " + NameOf(Figures(), step.Figure));
}

void ReadAsk(const TStepFields& fields, TPlanStep& step) {
    fields.Allow({"text", "key", "within"});
    step.Text = fields.Text("text");
    if (step.Text.empty()) throw EStepFault("'text' is empty");
    if (fields.Has("key")) step.Key = fields.Named("key", Keys());
    step.Seconds = fields.Bounded("within", 120, 1, LongestSeconds);
}

std::string Position(const QByteArray& json, int offset) {
    const QByteArray before = json.left(offset);
    const auto line = before.count('\n') + 1;
    const auto column = offset - (before.lastIndexOf('\n') + 1) + 1;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::optional<double> ReadConsoleVersion(const QJsonObject& root) {
    const QJsonValue console = root.value("console");
    if (console.isUndefined() || console == QJsonValue("any")) return std::nullopt;
    if (!console.isDouble() || console.toDouble() <= 0)
        throw std::runtime_error("'console' must be a console version (5, 4.5 ...) or \"any\"");
    return console.toDouble();
}

} // namespace

TPlanStep TTestPlanReader::ReadStep(const QJsonObject& object) {
    const TStepFields fields(object);
    TPlanStep step;
    step.Kind = fields.Named("step", StepKinds());
    if (fields.Has("name")) step.Name = fields.Text("name");
    switch (step.Kind) {
    case TPlanStepKind::psSet: ReadSet(fields, step); break;
    case TPlanStepKind::psWait:
        fields.Allow({"seconds"});
        step.Seconds = fields.Required("seconds", 0.1, LongestSeconds);
        break;
    case TPlanStepKind::psExpect: ReadExpect(fields, step); break;
    case TPlanStepKind::psSettle: ReadSettle(fields, step); break;
    case TPlanStepKind::psAsk: ReadAsk(fields, step); break;
    }
    return step;
}

TTestPlan TTestPlanReader::Parse(const QByteArray& json, const std::string& fileName) {
    const auto refuse = [&](const std::string& what) { return EUnreadable(fileName + ": " + what); };
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw refuse("not JSON: " + error.errorString().toStdString() + " at " + Position(json, error.offset));
    if (!document.isObject()) throw refuse("a plan is a JSON object with \"name\" and \"steps\"");
    const QJsonObject root = document.object();
    for (const QString& key : root.keys())
        if (key != "name" && key != "console" && key != "steps") throw refuse("unknown field '" + key.toStdString() + "'");
    TTestPlan plan;
    plan.FileName = fileName;
    try {
        plan.Name = root.contains("name") ? TStepFields(root).Text("name") : QFileInfo(QString::fromStdString(fileName)).completeBaseName().toStdString();
        plan.ConsoleVersion = ReadConsoleVersion(root);
    } catch (const std::runtime_error& fault) {
        throw refuse(fault.what());
    }
    const QJsonArray steps = root.value("steps").toArray();
    if (steps.isEmpty()) throw refuse("\"steps\" must be a list of at least one step");
    for (qsizetype i = 0; i < steps.size(); ++i) {
        try {
            if (!steps[i].isObject()) throw EStepFault("a step is a JSON object with \"step\"");
            plan.Steps.push_back(ReadStep(steps[i].toObject()));
            CheckComparedSteps(plan.Steps, plan.Steps.size() - 1);
        } catch (const EStepFault& fault) {
            throw refuse("step " + std::to_string(i + 1) + ": " + fault.what());
        }
    }
    return plan;
}

TTestPlan TTestPlanReader::ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) throw EUnreadable(path + ": " + file.errorString().toStdString());
    return Parse(file.readAll(), path);
}
