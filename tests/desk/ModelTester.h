#pragma once

#include <QAbstractItemModelTester>

// Qt's model tester on a view's model for as long as the model lives: the
// test program stops at the first rule of the model contract it breaks.
inline void attachModelTester(QAbstractItemModel *model)
{
    new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal, model);
}
