// Placeholder: the comparison rule and report lines arrive with the driver.
