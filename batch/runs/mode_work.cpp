#include "batch/runs/mode_work.h"

ModeWork modeWork(int32_t mode)
{
    ModeWork w;
    w.registersLine = mode == 1 || mode == 4;
    w.rotates = mode == 2 || mode == 4;
    w.evaluatesLine = mode == 3 || mode == 4;
    w.comparesTwoFiles = mode == 5;
    w.registersSite = mode == 6;
    w.evaluatesSite = mode == 7;
    w.writesMatrices = mode == 8;
    w.exports = mode == 9;
    return w;
}
