#pragma once

#include <QMetaType>
#include <QPointer>
#include <QString>
#include <QWidget>

// Kinds of question of an anamnesis model. Other values are kept and written back.
enum QuestionType { qtText = 0, qtNumber = 1, qtChoice = 2 };

// One question of an anamnesis with its answer.
class Question
{
public:
    int type = qtText;
    QString text;
    int decimals = 0;  // number questions only
    QString answer;
    QString options;  // choice questions only: the choices separated by ","
    // The form's input for this question: not owned and never stored. It turns null by
    // itself when the form goes away, so a kept record never points at a dead widget.
    QPointer<QWidget> editor;
};

Q_DECLARE_METATYPE(Question)
