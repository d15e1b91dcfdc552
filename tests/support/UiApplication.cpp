#include "support/UiApplication.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace parelix::test {

void ensureApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "parelix-tests";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new QApplication(argc, argv);
}

namespace {

QtMessageHandler otherHandler = nullptr;
int checkers = 0;

void modelTestMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtDebugMsg && context.category && std::strcmp(context.category, "qt.modeltest") == 0) {
        ADD_FAILURE() << "the item model breaks a rule: " << text.toStdString();
        return;
    }
    if (otherHandler) otherHandler(type, context, text);
    else std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

}  // namespace

ModelChecker::ModelChecker(QAbstractItemModel& model) {
    if (checkers++ == 0) otherHandler = qInstallMessageHandler(modelTestMessage);
    tester_ = std::make_unique<QAbstractItemModelTester>(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    tester_->setUseFetchMore(false);
}

ModelChecker::~ModelChecker() {
    tester_.reset();
    if (--checkers == 0) qInstallMessageHandler(otherHandler);
}

}  // namespace parelix::test
