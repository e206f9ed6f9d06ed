document.getElementById('greet').addEventListener('click', () => {
  document.getElementById('answer').textContent = 'Hello! The time is ' + new Date().toLocaleTimeString() + '.';
});
