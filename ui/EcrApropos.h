#pragma once
// Placeholder until the splash window lands.
#include <QWidget>

namespace parelix {

class TEcrApropos : public QWidget {
public:
    explicit TEcrApropos(QObject* /*owner*/) {}
};

}  // namespace parelix
