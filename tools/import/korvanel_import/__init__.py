"""korvanel-import: a solver's results to a korvanel job's node stresses and mesh."""
