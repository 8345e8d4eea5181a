#pragma once

// The program-wide state the main window owns and hands by reference to every page.
struct TProgramState
{
    int currentToken = 0;
    int tokenCount = 0;
};
