#pragma once
// Stores the item classes of the exchange units (the plan sheet) in the item-class table. The program calls
// it once at start-up, after RegisterObjects and before the first street is made; tests and tools call it
// too. Calling it again does nothing.
void RegisterExchangeObjects();
