#pragma once
// Registers every editor module class and, at its place in the start-up order, points the editors at the
// main window. Calling it again does nothing.
void RegisterEditorModules();
