#pragma once

// The zoom of the program's pages: the steps Ctrl+Plus and Ctrl+Minus go
// through, and the one factor that holds for every page until the program
// ends.
namespace tarnvik::zoom {

constexpr double kDefault = 1.0;

// The next step above (`steps` > 0) or below (`steps` < 0) `factor`; a
// factor between two steps goes to the nearer one in that direction. Stays
// within the smallest and the largest step.
double stepped(double factor, int steps);

// The factor of this session, 1.0 at start.
double sessionFactor();
// Keeps `factor`, bounded to the range of the steps, as the session's and returns it.
double setSessionFactor(double factor);

} // namespace tarnvik::zoom
