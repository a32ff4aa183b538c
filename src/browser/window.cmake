# the browser window library (larkvane_browser) is added here
