error("never runs")
