// The avatar as a stick figure: the walking and standing animation between
// keyframe poses, its drawing into the avatar frame Bitmap, the hazard test
// that kills it and the two death sounds.
#pragma once

// Seconds of the death burst the frame driver runs after a kill.
#define FIGURE_DEATH_SECONDS 1.5f

// Once per frame in play while the avatar is alive, after the avatar ticks.
// dt is the clamped frame time (0 while paused). Draws the figure into the
// avatar frame and then into the work bitmap (g_game.draw_target).
void avatar_figure_step(float dt);
