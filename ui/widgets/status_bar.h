#pragma once
// A status bar of text panels with fixed widths; the last panel takes what is left.

#include <QList>
#include <QWidget>

class QLabel;

namespace rzl {

class PanelStatusBar : public QWidget {
    Q_OBJECT
public:
    PanelStatusBar(const QList<int>& panelWidths, QWidget* parent = nullptr);

    // `detail` joins the text in the panel's tool tip and accessible description.
    void setPanelText(int panel, const QString& text, const QString& detail = {});
    QString panelText(int panel) const;
    QLabel* panel(int index) const { return panels_.value(index); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placePanels();
    bool spansToTheEnd(int panel) const;

    QList<int> widths_;
    QList<QLabel*> panels_;
};

}  // namespace rzl
