#pragma once

#include <QString>

// One step of a batch of operations on the elements of a page's first form,
// addressed by their position in the form, counted from 0.
struct FormStep {
    // RequirePage stops the batch unless the page's own address has the
    // scheme, host, port and path of `value`: a batch that fills in a
    // password starts with it, since the page may have changed since the
    // program looked at it.
    enum Kind { SetValue, SetChecked, Click, RequirePage };
    Kind kind = SetValue;
    int element = 0;
    QString value; // SetValue: the value; RequirePage: the address

    static FormStep setValue(int element, const QString &value) { return {SetValue, element, value}; }
    static FormStep setChecked(int element) { return {SetChecked, element, {}}; }
    static FormStep click(int element) { return {Click, element, {}}; }
    static FormStep requirePage(const QString &address) { return {RequirePage, -1, address}; }
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
