#pragma once
// Placeholder until the path selection logic lands.
namespace parelix {
class PathSelection {};
}  // namespace parelix
