// placeholder until the status-bar tests land
