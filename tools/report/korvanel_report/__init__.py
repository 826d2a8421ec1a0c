"""korvanel-report: a picture of a finished korvanel job."""
