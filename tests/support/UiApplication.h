#pragma once
// Support for the tests of ui/: a plain application object, and Qt's checker of item models.
#include <memory>

class QAbstractItemModel;
class QAbstractItemModelTester;

namespace parelix::test {

// Creates the QApplication on first use (widget tests run under QT_QPA_PLATFORM=offscreen).
void ensureApplication();

// Watches a model with Qt's QAbstractItemModelTester while it lives: every breach of the
// item model's rules it sees fails the running test. Rows not yet fetched stay unfetched.
class ModelChecker {
public:
    explicit ModelChecker(QAbstractItemModel& model);
    ~ModelChecker();
    ModelChecker(const ModelChecker&) = delete;
    ModelChecker& operator=(const ModelChecker&) = delete;

private:
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

}  // namespace parelix::test
