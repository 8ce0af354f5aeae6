// The files the demo needs, built into the program so that it runs from any
// folder: the K729 panel and the demo flight.
#pragma once

namespace k729::panel {

extern const char kEmbeddedPanel[];        // panels/k729.panel
extern const char kEmbeddedDemoScenario[]; // scenarios/k729-demo.csv

inline constexpr char kEmbeddedPanelName[] = "panels/k729.panel";
inline constexpr char kEmbeddedDemoScenarioName[] = "scenarios/k729-demo.csv";

} // namespace k729::panel
