#pragma once

#include <QString>

// One step of a batch of operations on the elements of a page's first form,
// addressed by their position in the form, counted from 0.
struct FormStep {
    enum Kind { SetValue, SetChecked, Click };
    Kind kind = SetValue;
    int element = 0;
    QString value; // SetValue only

    static FormStep setValue(int element, const QString &value) { return {SetValue, element, value}; }
    static FormStep setChecked(int element) { return {SetChecked, element, {}}; }
    static FormStep click(int element) { return {Click, element, {}}; }
};

// Outcome of a batch: the steps before a failing step have taken effect, the
// failing one and those after it have not.
struct FormBatchResult {
    bool ok = true;
    int failedStep = -1;
    QString error;
};

struct FormElementInfo {
    QString name;
    QString type;
    QString value;
};
