// The default run: the three embedded packages in order, and one final verdict.
#pragma once

// Applies "IDR_MSP", "IDR_MSP_LP" and "IDR_MSP_PS" in that order, stopping after a stage that
// halts, and shows the final message: 301 when a stage applied its package, 306 when all were
// already current, none after a halt.
void ApplyPatchSequence();
