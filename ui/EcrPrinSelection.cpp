// Path selection handlers (placeholder bodies until the drive tree lands).
#include "ui/EcrPrin.h"
#include "ui/PathSelection.h"

namespace parelix {

void T_EcrPrin::fillDriveTree() {}
void T_EcrPrin::BtnAjouteClick(QObject*) {}
void T_EcrPrin::BtnEnleveClick(QObject*) {}
void T_EcrPrin::DskListExpanded(NodeId) {}
void T_EcrPrin::DskListChange(NodeId) {}
std::vector<std::string> T_EcrPrin::searchPaths() const { return {}; }

}  // namespace parelix
