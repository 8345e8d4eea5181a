#pragma once

// Waits about `ms` milliseconds while keeping the window responsive: ms/10 rounds of a 10 ms sleep
// followed by handling pending events.
void waitResponsive(int ms);
