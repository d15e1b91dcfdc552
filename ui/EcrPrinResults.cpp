// Results browsing and deletion handlers (placeholder bodies until browsing lands).
#include "ui/EcrPrin.h"

namespace parelix {

void T_EcrPrin::DirListChange(NodeId) {}
void T_EcrPrin::DblListChange(NodeId) {}
void T_EcrPrin::BtnPrecSuivUpClick() {}
void T_EcrPrin::BtnPrecSuivDownClick() {}
void T_EcrPrin::ToutDeplierClick() {}
void T_EcrPrin::ToutReplierClick() {}
void T_EcrPrin::DirListDblClick() {}
void T_EcrPrin::DblListDblClick() {}
void T_EcrPrin::PoubelleClick() {}
bool T_EcrPrin::PoubelleDragOver(QObject*) { return false; }
void T_EcrPrin::PoubelleDragDrop(QObject*) {}
void T_EcrPrin::SupDblsDuRepClick() {}
void T_EcrPrin::setupResultsHandlers() {}

}  // namespace parelix
