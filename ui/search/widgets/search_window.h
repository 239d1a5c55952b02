#pragma once
// The search window: renders the search record and forwards the user's choices to the search.
// Opened from the main window with Ctrl+F or the address field's context menu.

#include <QDialog>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace rzl {

class ModuleSearch;
class Screen;

class SearchWindow : public QDialog {
    Q_OBJECT
public:
    SearchWindow(Screen& screen, ModuleSearch& search, QWidget* parent = nullptr);

    // Shows the window with the range filled in and the focus on Search; nothing is swept until
    // the user presses Search or Enter.
    void openForSearch();
    void render();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QList<int> selectedRows() const;  // indexes into the record's rows, found by address
    void chooseCurrent();

    Screen& screen_;
    ModuleSearch& search_;
    QLineEdit* range_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* web_ = nullptr;
    bool rendering_ = false;
};

}  // namespace rzl
