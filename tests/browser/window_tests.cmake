# tests of the browser window
