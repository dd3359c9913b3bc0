#pragma once
// Stores every road object class in the item-class table at its type code. The program calls it once at
// start-up before the first street is made; tests and tools call it too. Calling it again does nothing.
void RegisterObjects();
