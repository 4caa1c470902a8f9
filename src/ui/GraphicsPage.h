#pragma once

#include "terminal/GraphData.h"
#include "terminal/GraphSampler.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TGraphicsPage;
}
class QLineEdit;
class TGraphicsForm;

// The "Graphics" page of the bottom panel, over the graph sampling, with the graphics window.
class TGraphicsPage final : public QWidget {
    Q_OBJECT
public:
    explicit TGraphicsPage(TTerminalSession& session, QWidget* parent = nullptr);
    ~TGraphicsPage() override;

    TGraphSampler& Sampler() { return FSampler; }
    TGraphicsForm& Graphics() { return *FGraphics; }

private:
    void ConnectFields();
    void EndEdit(QLineEdit& field, TGraphSampler::TField which);

    std::unique_ptr<Ui::TGraphicsPage> ui;
    TGraphData FGraph;
    TGraphSampler FSampler;
    std::unique_ptr<TGraphicsForm> FGraphics;
};
