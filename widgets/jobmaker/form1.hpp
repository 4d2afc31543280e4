#pragma once

// The job maker's dialog: the settings of a conversion job and the button that writes them.

#include <QDialog>
#include <QString>
#include <array>

#include "jobsettings.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace jobmaker {

// The program's title: the caption of its message boxes.
inline constexpr char kProgramTitle[] = "Prelmat";

// The dialog "DRYX2 test release". Its controls carry the object names Label1, Label2(1) to
// Label2(10), Combo1, Text2(0), Text2(1), HScroll1, Combo2, Check1, HScroll2(0), HScroll2(1),
// Combo3, Check2 and Command2.
class Form1 : public QDialog {
    Q_OBJECT

  public:
    // The dialog showing the default settings; its button writes the job file at jobFilePath.
    explicit Form1(QString jobFilePath, QWidget* parent = nullptr);

    // Where the button writes the job file.
    const QString& jobFilePath() const noexcept { return m_jobFilePath; }
    // The settings the controls show now.
    JobSettings settings() const;

  private:
    void createControls();
    void placeControls();
    // Command2's click: write the job file, then confirm or report the failure.
    void compileJobFile();

    QString m_jobFilePath;
    QLabel* m_label1 = nullptr;
    // Label2(1) to Label2(10); there is no element 0.
    std::array<QLabel*, 11> m_label2{};
    QComboBox* m_combo1 = nullptr;
    std::array<QLineEdit*, 2> m_text2{};
    QScrollBar* m_hScroll1 = nullptr;
    QComboBox* m_combo2 = nullptr;
    QCheckBox* m_check1 = nullptr;
    std::array<QScrollBar*, 2> m_hScroll2{};
    QComboBox* m_combo3 = nullptr;
    QCheckBox* m_check2 = nullptr;
    QPushButton* m_command2 = nullptr;
};

}  // namespace jobmaker
